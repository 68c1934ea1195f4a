#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

// Reads a Q-DAS K-field file back, as a customer's reader would, so that
// tests compare what was written with what is on record.
struct DfqFile
{
    QMap<QString, QString> partFields;                    // K0100, K1001, …
    QMap<int, QMap<QString, QString>> characteristics;   // by number: K2001 → value, …
    // Per characteristic, its values in file order: each K0001 starts one,
    // the K00xx after it belong to it.
    QMap<int, QVector<QMap<QString, QString>>> values;
};

// False with the reason in *error for bytes that are not a K-field file:
// a line not ending in CR LF, a line without a K key, a value field before
// its K0001. Text is Windows-1252 unless the file begins with the UTF-8
// byte order mark.
bool readDfq(const QByteArray &bytes, DfqFile *file, QString *error);
