# SPDX-License-Identifier: GPL-3.0-or-later
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

# The pictures the windows show at start-up, also compiled in as pixels (core/pictures/Pictures.h).
set(CEDOLARIO_EMBEDDED_PICTURES euro.png corner.png about-icon.png cedolario-64.png button-exit.png
    button-save.png button-minimise.png button-info.png button-print.png button-open.png button-delete.png)
add_executable(cedolario_picture_pixels resources/PicturePixels.cpp)
target_link_libraries(cedolario_picture_pixels PRIVATE Qt6::Gui)
set(embedded_inputs "")
foreach(name IN LISTS CEDOLARIO_EMBEDDED_PICTURES)
    list(APPEND embedded_inputs ${CMAKE_CURRENT_SOURCE_DIR}/resources/${name})
endforeach()
add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/core/EmbeddedPictures.cpp
    # A sanitizer build's tool runs with the sanitizers too; what Qt keeps until exit is no leak here.
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
            ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:cedolario_picture_pixels> ${CMAKE_CURRENT_BINARY_DIR}/core/EmbeddedPictures.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/resources ${CEDOLARIO_EMBEDDED_PICTURES}
    DEPENDS cedolario_picture_pixels ${embedded_inputs}
    COMMENT "Compiling the start-up pictures in as pixels"
    VERBATIM)
target_sources(cedolario_core PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/core/EmbeddedPictures.cpp)
