// Colour cross-sections of a small 3-D object, one frame per z-layer, for slicevol to stack.
// Render as an animation of N frames (+KFI0 +KFF<N-1>) to uncompressed 24-bit TGA (+FT); frame k
// shows the layer at z = (k + 0.5) / N of the unit cube, seen from the front, top row first.
// The object is three overlapping shapes, one per colour channel, and is not symmetric in y, so a
// volume shown upside down is plain to see:
//   red   a ring around the z axis
//   green a ball resting on top of the ring
//   blue  a rod along x through the ring's lower half
#version 3.7;
#include "functions.inc"
global_settings { assumed_gamma 1.0 }

#declare Layers = final_frame - initial_frame + 1;
#declare Z = (frame_number - initial_frame + 0.5) / Layers;

#declare Ring = function { f_torus(x - 0.5, z - 0.5, y - 0.5, 0.3, 0.1) }
#declare Ball = function { sqrt(pow(x - 0.5, 2) + pow(y - 0.8, 2) + pow(z - 0.5, 2)) - 0.14 }
#declare Rod  = function { sqrt(pow(y - 0.3, 2) + pow(z - 0.5, 2)) - 0.06 }

// Each channel is 1 inside its shape and 0 outside; averaging three pigments divides by three.
#macro Inside(Shape, Colour)
  function { select(Shape(x, y, z), 1, 0) } color_map { [0 rgb 0] [1 rgb 3 * Colour] }
#end

camera { orthographic location <0.5, 0.5, -1> look_at <0.5, 0.5, 0> right x up y }
background { rgb 0 }

// A thin slab at depth Z: its front face shows the object's colours in that layer.
box {
  <0, 0, Z - 1e-4>, <1, 1, Z + 1e-4>
  pigment { average pigment_map { [1 Inside(Ring, x)] [1 Inside(Ball, y)] [1 Inside(Rod, z)] } }
  finish { ambient 0 diffuse 0 emission 1 }
}
