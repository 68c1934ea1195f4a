set(TORVELIN_LINKSTATUS_SOURCES
    forms/linkstatisticsdialog.ui
    linkstatus/linktexts.h linkstatus/linktexts.cpp
    linkstatus/linkindicator.h linkstatus/linkindicator.cpp
    linkstatus/linkstatisticsdialog.h linkstatus/linkstatisticsdialog.cpp
    linkstatus/linkmonitor.h linkstatus/linkmonitor.cpp
)
