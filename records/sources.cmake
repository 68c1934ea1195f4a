set(TORVELIN_RECORDS_SOURCES
    records/testrecord.h
    records/schema.h records/schema.cpp
    records/schemasql.h records/schemasql.cpp
    records/databaseconfig.h records/databaseconfig.cpp
    records/recordsdatabase.h records/recordsdatabase.cpp
    records/audittrail.h records/audittrail.cpp
    records/labroles.h records/labroles.cpp
    records/administration.h records/administration.cpp
    records/serverconnection.h records/serverconnection.cpp
    records/review.h records/review.cpp
    records/recordsnotifier.h records/recordsnotifier.cpp
    records/station.h records/station.cpp
    records/writerefusal.h records/writerefusal.cpp
    records/outbox.h records/outbox.cpp
    records/teststore.h records/teststore.cpp
    records/testrecorder.h records/testrecorder.cpp
    records/serialnumber.h records/serialnumber.cpp
    records/evaluationrecord.h records/evaluationrecord.cpp
    records/storedtest.h
    records/historyfilter.h records/historyfilter.cpp
    records/recordqueries.h records/recordqueries.cpp
    records/testloader.h records/testloader.cpp
    records/controllimitsstore.h records/controllimitsstore.cpp
    records/pointseries.h records/pointseries.cpp
    records/chartchoice.h records/chartchoice.cpp
    records/resultscsv.h records/resultscsv.cpp
    records/libraryguards.h records/libraryguards.cpp
    records/programlibrarystore.h records/programlibrarystore.cpp
    records/verificationstore.h records/verificationstore.cpp
)
