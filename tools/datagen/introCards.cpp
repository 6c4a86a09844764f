// introCards.cpp
// The twelve title cards over the opening: the group presents the title, four credits by role,
// then words that set the mood for the dive that follows. Cards are 1024x512 but only the left
// 800 columns and the rows below the 80-pixel letterbox bar are seen, so all ink stays there.
#include <cstdio>

#include "tools/datagen/pictures.h"
#include "tools/datagen/typeset.h"

namespace {

const int cardWidth = 1024, cardHeight = 512;
const float centreX = 400.0f;  // middle of the visible 800 columns
const float marginX = 88.0f;

const TextStyle heroFace{"DejaVu Sans", true, 170.0f, 0.0f};
const TextStyle labelFace{"DejaVu Sans Mono", true, 22.0f, 6.0f};
const TextStyle subtitleFace{"DejaVu Sans Mono", true, 18.0f, 3.0f};
const TextStyle creditFace{"DejaVu Sans", true, 46.0f, 0.0f};
const TextStyle moodFace{"DejaVu Serif", false, 92.0f, 2.0f};
const TextStyle moodLineFace{"DejaVu Serif", false, 28.0f, 0.5f};

enum class Layout { hero, creditLeft, creditRight, mood };

struct IntroCard {
    Layout layout;
    const char* label;  // small tracked line (hero: under the word; credit: the role)
    const char* text;   // the large line
    const char* line;   // mood cards: the quiet line under the word
    float heroSize;     // hero cards: size of the large word
};

const IntroCard introCards[12] = {
    {Layout::hero, "presents", "vel", nullptr, 190.0f},
    {Layout::hero, "a real-time piece in eight scenes", "kestrane", nullptr, 128.0f},
    {Layout::creditLeft, "code", "by hand, frame by frame", nullptr, 0.0f},
    {Layout::creditRight, "music", "one song, start to finish", nullptr, 0.0f},
    {Layout::creditLeft, "graphics", "water, ink, stars, light", nullptr, 0.0f},
    {Layout::creditRight, "sync", "every frame listens", nullptr, 0.0f},
    {Layout::mood, nullptr, "hover", "hold still in the moving air", 0.0f},
    {Layout::mood, nullptr, "watch", "the water turns below", 0.0f},
    {Layout::mood, nullptr, "wait", "for the light to change", 0.0f},
    {Layout::mood, nullptr, "closer", nullptr, 0.0f},
    {Layout::mood, nullptr, "closer still", nullptr, 0.0f},
    {Layout::hero, "now", "dive", nullptr, 210.0f},
};

// A small tracked line centred under a large word, with short rules on either side.
void drawHero(CardInk& ink, const IntroCard& card) {
    TextStyle face = heroFace;
    face.size = card.heroSize;
    const TextMetrics big = measureText(face, card.text);
    const float baseline = 296.0f + big.top * 0.5f - 24.0f;
    drawText(ink.main, face, card.text, centreX, baseline, Align::centre);
    const float labelBaseline = baseline + 58.0f;
    // Long subtitles get the smaller, tighter face so the rules stay inside the frame.
    const TextStyle& face2 = measureText(labelFace, card.label).advance > 360.0f ? subtitleFace : labelFace;
    const float labelWidth = measureText(face2, card.label).advance;
    drawText(ink.accent, face2, card.label, centreX, labelBaseline, Align::centre);
    const float ruleY = labelBaseline - 8.0f, gap = 22.0f, rule = 56.0f;
    fillBox(ink.accent, centreX - labelWidth * 0.5f - gap - rule, ruleY, centreX - labelWidth * 0.5f - gap,
            ruleY + 2.0f);
    fillBox(ink.accent, centreX + labelWidth * 0.5f + gap, ruleY, centreX + labelWidth * 0.5f + gap + rule,
            ruleY + 2.0f);
}

// Role above, credit line below, set flush to the left or right margin in the lower third.
void drawCredit(CardInk& ink, const IntroCard& card, bool right) {
    const float baseline = 430.0f;
    TextStyle face = creditFace;
    face.size = fitTextSize(creditFace, card.text, 800.0f - 2.0f * marginX);
    const float labelBaseline = baseline - face.size - 16.0f;
    const float edge = right ? 800.0f - marginX : marginX;
    const Align align = right ? Align::right : Align::left;
    drawText(ink.main, face, card.text, edge, baseline, align);
    const float rule = 40.0f, gap = 16.0f;
    if (right) {
        drawText(ink.accent, labelFace, card.label, edge - rule - gap, labelBaseline, Align::right);
        fillBox(ink.accent, edge - rule, labelBaseline - 8.0f, edge, labelBaseline - 6.0f);
    } else {
        fillBox(ink.accent, edge, labelBaseline - 8.0f, edge + rule, labelBaseline - 6.0f);
        drawText(ink.accent, labelFace, card.label, edge + rule + gap, labelBaseline, Align::left);
    }
}

// A serif word in the middle, a quiet line under it, a short rule between.
void drawMood(CardInk& ink, const IntroCard& card) {
    const float baseline = card.line ? 290.0f : 320.0f;
    drawText(ink.main, moodFace, card.text, centreX, baseline, Align::centre);
    if (!card.line) return;
    fillBox(ink.accent, centreX - 18.0f, baseline + 30.0f, centreX + 18.0f, baseline + 32.0f);
    drawText(ink.soft, moodLineFace, card.line, centreX, baseline + 78.0f, Align::centre);
}

}  // namespace

bool makeIntroCards(const PictureSink& sink) {
    for (int i = 0; i < 12; ++i) {
        const IntroCard& card = introCards[i];
        CardInk ink = makeCardInk(cardWidth, cardHeight);
        switch (card.layout) {
        case Layout::hero:
            drawHero(ink, card);
            break;
        case Layout::creditLeft:
            drawCredit(ink, card, false);
            break;
        case Layout::creditRight:
            drawCredit(ink, card, true);
            break;
        case Layout::mood:
            drawMood(ink, card);
            break;
        }
        const CardPair pair = composeCard(ink, 30.0f);
        char name[64];
        std::snprintf(name, sizeof name, "intro/%d_layer.png", i + 1);
        if (!sink(name, pair.picture)) return false;
        std::snprintf(name, sizeof name, "intro/%d_mask.png", i + 1);
        if (!sink(name, pair.mask)) return false;
    }
    return true;
}
