#include "widgets/filedialogs.h"

#include <QFileDialog>

namespace {

QString saveFileName(QWidget *parent, const QString &caption, const QString &directory,
                     const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, directory, filter);
}

QString openFileName(QWidget *parent, const QString &caption, const QString &directory,
                     const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

} // namespace

FileDialogs::Chooser FileDialogs::getSaveFileName = saveFileName;
FileDialogs::Chooser FileDialogs::getOpenFileName = openFileName;

void FileDialogs::restoreDefaults()
{
    getSaveFileName = saveFileName;
    getOpenFileName = openFileName;
}
