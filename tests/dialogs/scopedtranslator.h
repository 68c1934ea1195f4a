#pragma once

#include <QCoreApplication>
#include <QTranslator>

// Installs a translator for the lifetime of one test, so that a failing
// check cannot leave the next test running in Chinese.
class ScopedTranslator
{
public:
    explicit ScopedTranslator(QTranslator *translator) : m_translator(translator)
    {
        QCoreApplication::installTranslator(m_translator);
    }
    ~ScopedTranslator() { QCoreApplication::removeTranslator(m_translator); }
    ScopedTranslator(const ScopedTranslator &) = delete;
    ScopedTranslator &operator=(const ScopedTranslator &) = delete;

private:
    QTranslator *m_translator;
};

// The Chinese catalogue compiled into the program.
inline const char *chineseCatalogue()
{
    return ":/language/cn.qm";
}
