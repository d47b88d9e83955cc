# rfid_precompile_qt(<target> [SQL] [WIDGETS] [TESTS])
#   Precompiles the Qt headers a target's files include again and again (and GoogleTest's for test
#   binaries): Qt's headers are most of what compiling one of our files costs. Each part only where the
#   target links that part of Qt.
function(rfid_precompile_qt target)
  cmake_parse_arguments(P "SQL;WIDGETS;TESTS" "" "" ${ARGN})
  set(headers <QObject> <QString> <QStringList> <QVariant> <QDateTime> <QList> <QMap> <QTimer>)
  if(P_SQL)
    list(APPEND headers <QSqlDatabase> <QSqlQuery> <QSqlError>)
  endif()
  if(P_WIDGETS)
    list(APPEND headers <QWidget> <QDialog> <QLabel> <QPushButton> <QLineEdit> <QComboBox> <QCheckBox>
                        <QPainter> <QImage> <QKeyEvent> <QMouseEvent> <QMenu> <QApplication>)
  endif()
  if(P_TESTS)
    list(APPEND headers <gtest/gtest.h>)
  endif()
  target_precompile_headers(${target} PRIVATE ${headers})
endfunction()
