// phraseCards.cpp
// Single phrases over later scenes ("keep turning" over the knots, "meanwhile, far below" over
// the floor), and the two title pairs that are loaded but not shown, in the same card style as
// the opening. Ink stays in the visible 800 columns below the letterbox bar.
#include "tools/datagen/pictures.h"
#include "tools/datagen/typeset.h"

namespace {

const int cardWidth = 1024, cardHeight = 512;
const float centreX = 400.0f;

bool emitCard(const PictureSink& sink, const CardInk& ink, const char* pictureName, const char* maskName) {
    const CardPair pair = composeCard(ink, 30.0f);
    return sink(pictureName, pair.picture) && sink(maskName, pair.mask);
}

// Bold phrase in the middle with short teal rules at either end.
CardInk makeKeep() {
    CardInk ink = makeCardInk(cardWidth, cardHeight);
    TextStyle face{"DejaVu Sans", true, 84.0f, 0.0f};
    const char* phrase = "keep turning";
    face.size = fitTextSize(face, phrase, 560.0f);
    const float width = measureText(face, phrase).advance;
    drawText(ink.main, face, phrase, centreX, 326.0f, Align::centre);
    fillBox(ink.accent, centreX - width * 0.5f - 60.0f, 294.0f, centreX - width * 0.5f - 24.0f, 297.0f);
    fillBox(ink.accent, centreX + width * 0.5f + 24.0f, 294.0f, centreX + width * 0.5f + 60.0f, 297.0f);
    return ink;
}

// A quieter serif phrase in the lower third, a small rule above it.
CardInk makeMeanwhile() {
    CardInk ink = makeCardInk(cardWidth, cardHeight);
    TextStyle face{"DejaVu Serif", false, 72.0f, 1.0f};
    face.size = fitTextSize(face, "meanwhile, far below", 600.0f);
    drawText(ink.main, face, "meanwhile, far below", centreX, 420.0f, Align::centre);
    fillBox(ink.accent, centreX - 22.0f, 338.0f, centreX + 22.0f, 340.0f);
    return ink;
}

// The title as a card: the group in tracked mono above the name.
CardInk makeTitle() {
    CardInk ink = makeCardInk(cardWidth, cardHeight);
    const TextStyle group{"DejaVu Sans Mono", true, 26.0f, 14.0f};
    const TextStyle name{"DejaVu Sans", true, 132.0f, 2.0f};
    drawText(ink.accent, group, "vel", centreX, 214.0f, Align::centre);
    drawText(ink.main, name, "kestrane", centreX, 352.0f, Align::centre);
    fillBox(ink.accent, centreX - 150.0f, 384.0f, centreX + 150.0f, 386.0f);
    return ink;
}

// The same title in the serif cut, the group small beneath it.
CardInk makeSerifTitle() {
    CardInk ink = makeCardInk(cardWidth, cardHeight);
    const TextStyle name{"DejaVu Serif", false, 124.0f, 1.0f};
    const TextStyle group{"DejaVu Sans Mono", true, 22.0f, 12.0f};
    drawText(ink.main, name, "kestrane", centreX, 318.0f, Align::centre);
    drawText(ink.accent, group, "a vel production", centreX, 382.0f, Align::centre);
    return ink;
}

}  // namespace

bool makePhraseCards(const PictureSink& sink) {
    return emitCard(sink, makeKeep(), "keep_layer.png", "keep_mask.png") &&
           emitCard(sink, makeMeanwhile(), "meanwhile_layer.png", "meanwhile_mask.png") &&
           emitCard(sink, makeTitle(), "vel_kestrane.png", "vel_kestrane_mask.png") &&
           emitCard(sink, makeSerifTitle(), "same_kestrane.png", "same_kestrane_mask.png");
}
