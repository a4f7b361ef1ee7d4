list(APPEND CORE_SOURCES
    print/CodeLine.cpp
    print/PainterSurface.cpp
    print/PrintPage.cpp
    print/PrintRoutines.cpp
    print/SlipLayout.cpp
)
list(APPEND UI_SOURCES
    print/PrintCommand.cpp
)
