# Sources of this subsystem: logic in CORE_SOURCES, windows in UI_SOURCES.
