list(APPEND CORE_SOURCES
    print/CodeLine.cpp
)
list(APPEND UI_SOURCES
    print/PrintCommand.cpp
)
