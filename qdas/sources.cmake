set(TORVELIN_QDAS_SOURCES
    qdas/dfqwriter.h qdas/dfqwriter.cpp
    qdas/dfqexport.h qdas/dfqexport.cpp
)
