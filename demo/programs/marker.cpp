// A tiny Windows console program that the demo installer runs during the copy. It writes a
// marker file into its current directory (the folder it was installed to), naming itself and
// its command line, so that a run under wine64 or on Windows shows that it was started where
// the installer said.
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    const char* self = argc > 0 ? argv[0] : "?";
    const char* slash = strrchr(self, '\\');
    const char* name = slash ? slash + 1 : self;
    char markerName[300];
    snprintf(markerName, sizeof markerName, "%s.ran", name);
    FILE* marker = fopen(markerName, "w");
    if (!marker) return 1;
    fprintf(marker, "%s", self);
    for (int i = 1; i < argc; i++) fprintf(marker, " %s", argv[i]);
    fprintf(marker, "\n");
    fclose(marker);
    return 0;
}
