#version 150
#include deferred_screen.glsl
void main() { fullScreen(); }
