// pictures.h
// The picture groups of the generator. Each group makes its pictures one at a time and hands
// each to a sink that writes it, so no more than one large picture is held at once. Names are
// paths under data/textures/.
#pragma once

#include <functional>

#include "tools/datagen/canvas.h"

// Receives one finished picture; returns false when it could not be stored (generation stops).
using PictureSink = std::function<bool(const char* name, const Image& picture)>;

// particle, water, part4, checker, tunnel, acid02, stars, twirl.
bool makeScenePictures(const PictureSink& sink);
// dot_sprite, dot_mask, dot_sprite2, dot_sprite3, e_sprite, e_mask, pinkdot.
bool makeSpritePictures(const PictureSink& sink);
// intro/1_layer ... intro/12_mask: the title sequence of the opening.
bool makeIntroCards(const PictureSink& sink);
// keep and meanwhile pairs, the two title pairs (vel_kestrane, same_kestrane).
bool makePhraseCards(const PictureSink& sink);
// vel_logo, the scroller pair and overlay.
bool makeLogoPictures(const PictureSink& sink);
// The group logo as vel_logo (1024x512, straight colour with alpha, added over black in the demo).
Image makeGroupLogo();
// The program's 256x256 icon: the group logo on a dark rounded plate.
Image makeIcon();
// font: a 16 by 16 grid of the printable ASCII characters.
bool makeFontAtlas(const PictureSink& sink);

// Cards: text of three kinds composed into an additive picture with alpha and a matching mask
// that darkens a soft halo around everything drawn, so the text reads over any scene.
struct CardInk {
    Coverage main;    // large type, cream
    Coverage accent;  // labels and rules, teal
    Coverage soft;    // secondary lines, dimmed cream
    Coverage panel;   // shapes the dark halo must also cover (a scroller band); usually empty
};
CardInk makeCardInk(int width, int height);
struct CardPair {
    Image picture;
    Image mask;
};
// haloSigma sets how far the dark halo reaches around the ink (pixels).
CardPair composeCard(const CardInk& ink, float haloSigma);
