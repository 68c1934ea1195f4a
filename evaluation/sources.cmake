set(TORVELIN_EVALUATION_SOURCES
    evaluation/testprogram.h evaluation/testprogram.cpp
    evaluation/verdict.h evaluation/verdict.cpp
    evaluation/springrate.h
    evaluation/evaluation.h evaluation/evaluation.cpp
    evaluation/programfile.h evaluation/programfile.cpp
    evaluation/resultjson.h evaluation/resultjson.cpp
)
