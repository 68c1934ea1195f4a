#pragma once

#include <QString>

// Who issues the reports: the lab's company name, an address line and a
// logo picture, printed at the top of every page of every report. Kept
// with the program's settings (group "Reports"); empty until the lab fills
// it in (Records → Report Header...).
struct LabHeader
{
    QString companyName;
    QString addressLine;
    QString logoFile;   // any picture Qt reads; none when empty

    bool isEmpty() const
    {
        return companyName.trimmed().isEmpty() && addressLine.trimmed().isEmpty()
               && logoFile.trimmed().isEmpty();
    }

    static LabHeader stored();
    void store() const;
};
