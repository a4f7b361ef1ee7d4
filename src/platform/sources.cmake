list(APPEND CORE_SOURCES
    platform/Clock.cpp
    platform/Services.cpp
)
list(APPEND UI_SOURCES
    platform/QtMessageBoxes.cpp
    platform/QtPrinter.cpp
    platform/QtSaveFileDialog.cpp
)
