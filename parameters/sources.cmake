set(TORVELIN_PARAMETERS_SOURCES
    parameters/springrate.h
    parameters/machineparameter.h parameters/machineparameter.cpp
    forms/machineparameter.ui
)
