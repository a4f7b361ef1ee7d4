list(APPEND CORE_SOURCES
    platform/Clock.cpp
)
list(APPEND UI_SOURCES
    platform/QtMessageBoxes.cpp
)
