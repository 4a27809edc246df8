/* A C program of another project using the installed engine: one block (a square wave and
 * noise) through the four exports at the viewer's default settings; prints the spectrum's bits,
 * one value a line, or fails. */
#include <zol.h>

#include <stdio.h>
#include <string.h>

int main(void) {
    ConfigRecord record;
    memset(&record, 0, sizeof record);
    record.SampleCount = 552;
    record.LagCount = 138;
    record.PointCount = 280;
    record.FreqStart = 40.0;
    record.FreqStop = 1200.0;
    record.SamplePeriod = 1.0 / 11025;
    record.ZoneCount = 2880;
    record.ZoneSpread = 2;

    int16_t block[552];
    uint32_t noise = 1;
    for (int i = 0; i < 552; ++i) {
        noise = noise * 1664525u + 1013904223u;
        block[i] = (int16_t)(((i * 440 * 2 / 11025) % 2 ? 8000 : -8000) + (int)(noise >> 22));
    }
    float spectrum[280];
    if (!ZOL_DLL_Init(&record, 0) || !ZOL_DLL_WriteInputArray(block, 552) || !ZOL_DLL_Run() ||
        !ZOL_DLL_ReadOutputArray(spectrum, 280)) {
        fputs("zol_client: the engine refused the block\n", stderr);
        return 1;
    }
    for (int k = 0; k < 280; ++k) {
        uint32_t bits;
        memcpy(&bits, &spectrum[k], sizeof bits);
        printf("%08x\n", (unsigned)bits);
    }
    return 0;
}
