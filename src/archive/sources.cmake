list(APPEND CORE_SOURCES
    archive/Windows1252.cpp
    archive/SlipRecord.cpp
    archive/ArchiveDates.cpp
    archive/ArchivePath.cpp
    archive/SlipArchive.cpp
)
list(APPEND UI_SOURCES
    archive/ArchiveCommands.cpp
)
