list(APPEND CORE_SOURCES
    slip/AmountFormat.cpp
    slip/AmountWords.cpp
    slip/FieldRules.cpp
    slip/Imprint.cpp
)
list(APPEND UI_SOURCES
    slip/Form1.cpp
    slip/HeadingBand.cpp
    slip/SlipLineEdit.cpp
)
