list(APPEND CORE_SOURCES
    slip/Imprint.cpp
)
list(APPEND UI_SOURCES
    slip/Form1.cpp
    slip/HeadingBand.cpp
)
