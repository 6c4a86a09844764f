// page.h
// The browser page around the program (web builds only): the canvas and its size, full screen
// through the page, the page's own messages, and the sound's pause at the end screen. The page's
// script (web/page.js) keeps its side of each.
#pragma once

// Sets the canvas's drawing buffer to its size on the page in real pixels (devicePixelRatio); true
// when that changed the size, which *width and *height then hold.
bool pageFitCanvas(int* width, int* height);
// The canvas's drawing buffer now.
void pageCanvasSize(int* width, int* height);
// Asks the page to enter or leave full screen (the browser may refuse without a recent gesture).
void pageSetFullscreen(bool fullscreen);
// Whether the browser took the page out of full screen by itself (its own Escape) since the last
// call.
bool pageTakeLeftFullscreen();
// Shows a message over the page, which goes on.
void pageShowMessage(const char* text, const char* caption);
// Silences the sound (the end screen) or lets it play again.
void pagePauseSound(bool paused);
// Hands a drawn frame (RGB rows, top row first) to the page, which shows it as a PNG picture.
void pagePublishFrame(const unsigned char* rgb, int width, int height);
