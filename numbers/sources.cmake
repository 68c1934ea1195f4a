set(TORVELIN_NUMBERS_SOURCES
    numbers/numbertext.h numbers/numbertext.cpp
)
