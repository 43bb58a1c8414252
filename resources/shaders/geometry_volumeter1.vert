#version 150
#include deferred_instance.glsl
void main() { placeVertex(); }
