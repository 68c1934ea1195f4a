set(TORVELIN_WIDGETS_SOURCES
    widgets/fixedplacement.h widgets/fixedplacement.cpp
    widgets/widgetfit.h widgets/widgetfit.cpp
    widgets/filedialogs.h widgets/filedialogs.cpp
    widgets/verdictstyle.h widgets/verdictstyle.cpp
    widgets/limitmarkers.h widgets/limitmarkers.cpp
    widgets/axisfit.h widgets/axisfit.cpp
)
