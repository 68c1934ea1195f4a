set(TORVELIN_CURVES_SOURCES
    curves/testcurves.h curves/testcurves.cpp
    curves/curvefile.h curves/curvefile.cpp
)
