// blur.frag (GLSL ES)
// The GLES build's form of data/shaders/blur.frag, drawing the same.
// The final look of every frame: the scene stays crisp and bright parts spread a soft glow of
// about radius "slider" (texture units) into darker surroundings; "strength" fades the scene
// itself towards the blur. In glitch bursts (worked out per frame by default.vert) horizontal
// bands tear sideways and the colours split. Five texture taps per pixel.
#version 100
precision highp float;
precision highp sampler2D;  // ES samplers default to low precision: slower on llvmpipe

uniform sampler2D texture;  // the scene region, texture unit 0
uniform float slider;       // glow radius in texture units
uniform float strength;     // 0: crisp scene under the glow, 1: fully blurred
uniform float time;         // seconds of music (used by default.vert)
uniform float glitch;       // glitch value (used by default.vert)

varying vec4 glitchState;   // amount, burst, number of bands, pattern seed
varying vec4 texCoord0;
varying vec4 frontColour;

// A cheap hash without sin(), which is costly per pixel on software renderers.
float hash(float p)
{
    p = fract(p * 0.1031);
    p *= p + 33.33;
    p *= p + p;
    return fract(p);
}

// The part of a colour bright enough to glow.
vec3 brightPart(vec3 c)
{
    return c * smoothstep(0.3, 1.0, max(c.r, max(c.g, c.b)));
}

void main()
{
    vec2 uv = texCoord0.st;

    // Glitch: about half of the bands of a bursting pattern slide sideways. Everything is 0 when
    // glitchState.x (the amount) is 0, so the picture is then untouched.
    float amount = glitchState.x;
    float burst = glitchState.y;
    float band = floor(uv.y * glitchState.z);
    float torn = burst * step(0.55, hash(band * 12.9898 + glitchState.w));
    uv.x += torn * (hash(band * 7.31 + glitchState.w * 1.7) - 0.5) * 0.12 * amount;
    vec2 split = vec2(burst * (0.003 + 0.009 * torn) * amount, 0.0);

    vec3 scene = texture2D(texture, uv).rgb;

    // Four taps on a pinwheel around the pixel. At the director's radius (3.3 texels of the
    // 512-texel region of an 800x600 picture) they sit 1.6 texels out, between texels, so the
    // filtering spreads each over a 2x2 block and together they cover a soft disc without gaps or
    // ghost copies. In a burst the two outer ones move apart by the split and lend the red and
    // blue channels. Every distance here is in texture units, a share of the region, so the look
    // is the same at every picture size; none is a number of pixels.
    vec2 a = vec2(0.45, 0.15) * slider;
    vec2 b = vec2(-a.y, a.x);
    vec3 t1 = texture2D(texture, clamp(uv + a + split, 0.001, 0.999)).rgb;
    vec3 t2 = texture2D(texture, clamp(uv + b, 0.001, 0.999)).rgb;
    vec3 t3 = texture2D(texture, clamp(uv - a - split, 0.001, 0.999)).rgb;
    vec3 t4 = texture2D(texture, clamp(uv - b, 0.001, 0.999)).rgb;
    float splitting = sign(split.x);
    scene.r = mix(scene.r, t1.r, splitting);
    scene.b = mix(scene.b, t3.b, splitting);

    vec3 blurred = (scene + t1 + t2 + t3 + t4) * 0.2;
    vec3 base = mix(scene, blurred, strength);
    // The glow only spreads light from brighter surroundings into darker pixels: flat areas,
    // blacks away from light and the highlights themselves keep their exact value.
    vec3 glow = (brightPart(t1) + brightPart(t2) + brightPart(t3) + brightPart(t4)) * 0.25;
    vec3 colour = base + max(glow - base, 0.0) * 0.7;

    gl_FragColor = vec4(colour * frontColour.rgb, 1.0);
}
