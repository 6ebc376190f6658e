// The three volumes slicevol made from the cross-sections, rendered as glowing media: the red
// volume emits red, the green one green, the blue one blue.
#version 3.7;
global_settings { assumed_gamma 1.0 }

#ifndef (Base) #declare Base = "shape"; #end

camera { location <1.6, 1.3, -1.6> look_at <0.5, 0.45, 0.5> angle 40 }
background { rgb <0.02, 0.02, 0.04> }

// The slices store their top row first and slicevol keeps that order, so the volume's y runs
// downwards; the density is flipped to stand upright.
#macro Glow(File, Colour)
  media {
    emission 6 * Colour
    density { density_file df3 File interpolate 1 scale <1, -1, 1> translate y }
  }
#end

box {
  0, 1
  pigment { rgbt 1 }
  hollow
  interior {
    Glow(concat(Base, "_r.df3"), <1, 0, 0>)
    Glow(concat(Base, "_g.df3"), <0, 1, 0>)
    Glow(concat(Base, "_b.df3"), <0, 0, 1>)
  }
}

// A thin frame around the unit cube, for scale.
#declare Edge = 0.004;
union {
  #for (A, 0, 1) #for (B, 0, 1)
    cylinder { <0, A, B>, <1, A, B>, Edge }
    cylinder { <A, 0, B>, <A, 1, B>, Edge }
    cylinder { <A, B, 0>, <A, B, 1>, Edge }
  #end #end
  pigment { rgb 0.5 } finish { ambient 1 diffuse 0 }
}
