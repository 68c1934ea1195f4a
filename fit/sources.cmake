set(TORVELIN_FIT_SOURCES
    fit/fixedplacement.h fit/fixedplacement.cpp
    fit/widgetfit.h fit/widgetfit.cpp
)
