# Pictures, compiled into the core library so tests and windows share them.
# PNGs are rendered from svg/ by scripts/render-pictures, except the euro mark.
set(CEDOLARIO_PICTURES
    resources/euro.png
    resources/corner.png
    resources/about-icon.png
    resources/cedolario-64.png
    resources/button-exit.png
    resources/button-save.png
    resources/button-minimise.png
    resources/button-info.png
    resources/button-print.png
    resources/button-open.png
    resources/button-delete.png
)
qt_add_resources(cedolario_core "pictures" PREFIX "/" BASE resources FILES ${CEDOLARIO_PICTURES})
