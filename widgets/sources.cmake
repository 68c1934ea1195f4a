set(TORVELIN_WIDGETS_SOURCES
    widgets/fixedplacement.h widgets/fixedplacement.cpp
    widgets/widgetfit.h widgets/widgetfit.cpp
    widgets/filedialogs.h widgets/filedialogs.cpp
)
