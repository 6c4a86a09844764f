// renderTool.h
// Pieces of the offline renderer shared by its frame writer and its benchmark.
#pragma once

// Opens the demo headless (offscreen window, no audio device, caller-driven music clock).
bool openOfflineDemo();
// Draws the frame of music time ms, with the spectrum of previousMs; renderFrame's result.
int renderFrameAt(long long ms, long long previousMs);
// Reads the 800x600 back buffer as RGB rows, top row first.
void readFrame(unsigned char* rgb);
int runBenchmark();
