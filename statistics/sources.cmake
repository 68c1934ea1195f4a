set(TORVELIN_STATISTICS_SOURCES
    statistics/batchstatistics.h statistics/batchstatistics.cpp
)
