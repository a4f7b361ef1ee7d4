# SPDX-License-Identifier: GPL-3.0-or-later
# Precompiled headers. Nearly every file includes the same Qt headers, and parsing them is about half
# of what compiling a file costs; precompiled, they are parsed once a build. There is one set a kind
# of target, made by one target of that kind and reused by the others, whose compile options are the
# same (a precompiled header is only valid for the options it was made with):
# - core: cedolario_core makes it, cedolario_workbook reuses it;
# - widgets: cedolario_platform makes it, cedolario_ui and cedolario_cli reuse it;
# - test_core and test_widgets: a small program in each folder of tests makes them, for its tests.
# The sets only add headers a file may not have named itself: a build with -DCEDOLARIO_PCH=OFF
# checks that every file still includes what it uses.
option(CEDOLARIO_PCH "Precompile the Qt headers the files share" ON)
if(CEDOLARIO_PCH)
    # A set the compiler cannot use is parsed again in every file, slower than none: say so.
    add_compile_options(-Winvalid-pch)
endif()

set(CEDOLARIO_PCH_core
    <algorithm> <functional> <memory> <optional> <vector>
    <QByteArray> <QDate> <QDir> <QFile> <QFileInfo> <QFont> <QHash> <QImage> <QList> <QLocale>
    <QPainter> <QRegularExpression> <QString> <QStringList>)
set(CEDOLARIO_PCH_widgets ${CEDOLARIO_PCH_core}
    <QAction> <QApplication> <QDialog> <QKeyEvent> <QLabel> <QLineEdit> <QMenu> <QMessageBox>
    <QPrinter> <QPushButton> <QWidget>)
set(CEDOLARIO_PCH_test_core ${CEDOLARIO_PCH_core} <QProcess> <QTemporaryDir> <QTest>)
set(CEDOLARIO_PCH_test_widgets ${CEDOLARIO_PCH_widgets} <QProcess> <QTemporaryDir> <QTest>)

# Loading a set costs two or three seconds of its own: the file where moc gathers the target's meta
# objects, most often empty (a test includes its own), goes without it.
function(cedolario_skip_precompiled_moc target)
    get_target_property(folder ${target} BINARY_DIR)
    set_source_files_properties(${folder}/${target}_autogen/mocs_compilation.cpp TARGET_DIRECTORY ${target}
                                PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
endfunction()

# cedolario_precompile(TARGET KIND): TARGET makes the set KIND for the others of its kind.
function(cedolario_precompile target kind)
    if(CEDOLARIO_PCH)
        target_precompile_headers(${target} PRIVATE ${CEDOLARIO_PCH_${kind}})
        cedolario_skip_precompiled_moc(${target})
    endif()
endfunction()

# cedolario_precompile_like(TARGET MAKER): TARGET uses the set MAKER made.
function(cedolario_precompile_like target maker)
    if(CEDOLARIO_PCH)
        target_precompile_headers(${target} REUSE_FROM ${maker})
        cedolario_skip_precompiled_moc(${target})
    endif()
endfunction()
