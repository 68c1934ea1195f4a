#pragma once

#include <QByteArray>
#include <QString>

class QTranslator;

// lang.ini (beside the executable, or in the user's configuration folder where
// that cannot be written: AppLocations) holds the interface language for the next
// start: "Language:" followed by 0 (follow the system), 1 (English) or 2
// (Chinese). The start-up code reads it once; the language dialog rewrites it.
namespace LanguageFile {

enum Language { System = 0, English = 1, Chinese = 2 };

// The file is a few bytes long; anything past this is not ours and is not read,
// so that a runaway file cannot stall the start of the program.
constexpr qint64 MaxReadBytes = 64 * 1024;

QString path();

// Content of the file at filePath, up to MaxReadBytes and cut back to the last
// whole line when the cap was reached. Only regular files are read: a device
// or a pipe placed there must not block start-up. Empty when unreadable.
QByteArray read(const QString &filePath);

// Whether the line carries the entry, i.e. contains "Language:". Its value is
// the text after the first ':' of the line, as a base-10 integer with white
// space around it ignored; text that is not an integer gives 0.
bool entryValue(const QByteArray &line, int *value);

// The file's whole content for a choice, as the language dialog writes it:
// "Language:" and the number, with no line end.
QByteArray entry(int language);

// Start-up reading: the first entry with value English or Chinese decides;
// entries with other values are passed over. System when none decides.
Language startupChoice(const QByteArray &content);

// Dialog reading: the value of the first entry, whatever it is; 0 without one.
int firstEntry(const QByteArray &content);

} // namespace LanguageFile

// Installs the Chinese translator on the application when lang.ini chooses
// Chinese, or chooses nothing and the default locale is Chinese. Call once,
// after the application object exists and before any translated text is made.
void loadTranslation();

// Qt's own catalogue for Chinese: the standard OK and Cancel, the file, print
// and input dialogs. It comes with Qt (Debian: qttranslations5-l10n; Windows:
// the translations folder windeployqt makes); false where it is not installed,
// and those texts stay English.
bool loadQtChinese(QTranslator *translator);
