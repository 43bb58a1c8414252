rm  resources.7z 
rm resources.7z.log
7z a -ms=off -mx=9  resources.7z resources/graphics/backdrop.png >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/objects/hall.vbo >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/objects/lit_hall.vbo >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/misc/notes.txt >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/misc/palette.bin >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/video/clip.ivf >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/backdrop.vert >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/backdrop.frag >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/panel.vert >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/panel.frag >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/geo.vert >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/geo.frag >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/gbuffer.vert >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/gbuffer.frag >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/sun.vert >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/sun.frag >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/bulb.vert >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/bulb.frag >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/compose.vert >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/compose.frag >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/tracks/index.list >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/tracks/track.data >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/common.glsl >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/deferred.glsl >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/default_Progress.vert >> resources.7z.log 
7z a -ms=off -mx=9  resources.7z resources/shaders/default_Progress.frag >> resources.7z.log 
