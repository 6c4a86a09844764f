// default.vert (GLSL ES)
// The GLES build's form of data/shaders/default.vert, drawing the same: the screen quad of the post
// pass, fed by the GL layer (its attributes and matrices under the layer's names) instead of
// fixed function. Texture coordinate of unit 0 and the current colour, clamped, handed on. The
// glitch pattern of the frame (the same for every pixel) is worked
// out here, on four vertices, rather than in blur.frag for every pixel.
#version 100
precision highp float;

attribute vec4 vertexPosition;  // the layer's attributes and matrices
attribute vec4 vertexColour;
attribute vec4 vertexTexCoord;
uniform mat4 modelViewProjection;
uniform mat4 textureMatrix;

uniform float time;    // seconds of music
uniform float glitch;  // 0: none; grows from 2, full from 7 (band 4 x 40 of the music peaks near 7)

// amount (0..1), burst (0 or 1: this pattern tears), number of bands, seed of the band pattern
varying vec4 glitchState;
varying vec4 texCoord0;
varying vec4 frontColour;

// A hash of products and fract only: sin() of arguments in the thousands (the beat numbers) comes
// out differently on every GPU and software renderer, and with it the pattern of the bursts.
float hash(float n)
{
    n = fract(n * 0.1031);
    n *= n + 33.33;
    n *= n + n;
    return fract(n);
}

void main()
{
    gl_Position = modelViewProjection * vertexPosition;
    texCoord0 = textureMatrix * vertexTexCoord;
    frontColour = clamp(vertexColour, 0.0, 1.0);

    // 20 patterns a second; one tears with a chance that grows with the value, so the effect
    // comes in short bursts even while the value stays up.
    float amount = smoothstep(2.0, 7.0, glitch);
    float beat = floor(time * 20.0);
    float burst = amount > 0.0 ? step(hash(beat * 0.731 + 0.17), amount * 0.8) : 0.0;
    float bands = floor(mix(6.0, 30.0, hash(beat * 1.37 + 0.5)));
    glitchState = vec4(amount, burst, bands, floor(hash(beat * 3.1 + 0.9) * 1000.0));
}
