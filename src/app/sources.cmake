list(APPEND CORE_SOURCES
    app/PaletteOutline.cpp
)
list(APPEND UI_SOURCES
    app/Form2.cpp
    app/PictureButton.cpp
    app/Startup.cpp
    app/apertura.cpp
)
