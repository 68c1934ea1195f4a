set(TORVELIN_PARAMETERS_SOURCES
    parameters/machineparameter.h parameters/machineparameter.cpp
    forms/machineparameter.ui
)
