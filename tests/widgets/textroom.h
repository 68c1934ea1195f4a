#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every text shown in a window that does not fit the room its widget gives
// it: labels, buttons, check and radio boxes, fields, combo boxes and group
// titles, and widgets that reach outside their parents (and so are cut
// off). Each finding names the widget, its text and both widths.
QStringList textsWithoutRoom(QWidget *window);
