# Precompiled headers for the targets with many sources: the third-party
# headers every one of their files parses again otherwise (Qt's widgets,
# nlohmann-json, GoogleTest). Only third-party headers go in, so the folder
# checks (ModuleUnit.cmake) still see every include of the project's own.
# Boost.Beast is left out: one file includes it (src/server/HttpServer.cpp).
set(INQUERITO_PCH_STD <string> <vector> <map> <memory> <optional> <functional> <algorithm>)
set(INQUERITO_PCH_JSON ${INQUERITO_PCH_STD} <nlohmann/json.hpp>)
set(INQUERITO_PCH_QT ${INQUERITO_PCH_JSON}
    <QApplication> <QWidget> <QObject> <QString> <QStringList> <QVariant> <QDate> <QLocale> <QDir> <QFile>
    <QPointer> <QTimer> <QLabel> <QLineEdit> <QPushButton> <QToolButton> <QVBoxLayout> <QHBoxLayout>
    <QTableView> <QHeaderView> <QMdiArea> <QMdiSubWindow> <QPainter> <QMenu> <QRegularExpression>)
set(INQUERITO_PCH_GTEST ${INQUERITO_PCH_JSON} <gtest/gtest.h>)
set(INQUERITO_PCH_QTTEST ${INQUERITO_PCH_QT} <QTest> <gtest/gtest.h>)

option(INQUERITO_PCH "Precompiled headers for the larger targets" ON)

function(inquerito_precompile kind)
  if(NOT INQUERITO_PCH)
    return()
  endif()
  foreach(target IN LISTS ARGN)
    if(TARGET ${target})
      target_precompile_headers(${target} PRIVATE ${INQUERITO_PCH_${kind}})
    endif()
  endforeach()
endfunction()
