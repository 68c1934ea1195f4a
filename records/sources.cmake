set(TORVELIN_RECORDS_SOURCES
    records/testrecord.h
    records/databaseconfig.h records/databaseconfig.cpp
    records/recordsdatabase.h records/recordsdatabase.cpp
    records/teststore.h records/teststore.cpp
    records/testrecorder.h records/testrecorder.cpp
)
