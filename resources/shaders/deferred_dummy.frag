#version 150
// The program every deferred renderer keeps beside its passes; it draws nothing of its
// own and only has to link.
in vec2 uv;
out vec4 fragColor;
void main() { fragColor = vec4(uv, 0.0, 1.0); }
