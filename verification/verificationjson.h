#pragma once

#include "verification/machineverification.h"

#include <QCoreApplication>
#include <QJsonObject>

// A verification as JSON: the file an external calibration service's
// certificate is entered from (`torvelin-records verification add --file`),
// and each line `verification list --json` prints. docs/records.md shows it.
//
//     {"permitted_error_percent": 1.0,
//      "performed_by": "Calibration service",
//      "reference": {"name": "Load cell", "certificate": "C-1", "due": "2027-05-01"},
//      "as_found": {"force": [{"reference": 100, "indicated": 100.3}],
//                   "distance": [{"reference": 10, "indicated": 10.02}]},
//      "as_left": {"force": […]}}
class VerificationJson
{
    Q_DECLARE_TR_FUNCTIONS(VerificationJson)

public:
    // Reads the keys above into *verification (keys left out keep its
    // values); a key of the wrong kind is refused with the reason.
    static bool read(const QJsonObject &object, MachineVerification *verification, QString *error);
    // The record whole: the keys above with id, station, performed_at,
    // as found and as left verdicts, next_due, source and certificate.
    static QJsonObject write(const MachineVerification &verification);
};
