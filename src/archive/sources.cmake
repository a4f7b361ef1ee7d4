list(APPEND UI_SOURCES
    archive/ArchiveCommands.cpp
)
