# Pictures, compiled into the core library so tests and windows share them.
set(CEDOLARIO_PICTURES
    resources/euro.png
)
qt_add_resources(cedolario_core "pictures" PREFIX "/" BASE resources FILES ${CEDOLARIO_PICTURES})
