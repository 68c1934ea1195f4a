set(TORVELIN_PROGRAMLIBRARY_SOURCES
    programlibrary/programversion.h
    programlibrary/libraryrules.h programlibrary/libraryrules.cpp
)
