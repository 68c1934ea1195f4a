set(TORVELIN_SPC_SOURCES
    spc/controlconstants.h spc/controlconstants.cpp
    spc/capability.h spc/capability.cpp
    spc/controlchart.h spc/controlchart.cpp
    spc/nelsonrules.h spc/nelsonrules.cpp
    spc/ruletext.h spc/ruletext.cpp
)
