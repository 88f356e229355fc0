// A generated scene for the allocation test and the benchmarks: `objects`
// objects with animated position, rotation and scale, `lights` animated
// lights and one animated camera, `frames` samples per channel; with
// `surfaces`, every object has that many surfaces of animated colour,
// luminosity, diffuse, specularity and glossiness.
#pragma once

#include <string>

inline std::string zeGeneratedChannel(int frames, float start, float step) {
  std::string text = "DAT " + std::to_string(frames);
  for (int f = 0; f < frames; ++f) text += " " + std::to_string(start + step * f);
  return text;
}

inline std::string zeGeneratedVector(int frames, float start, float step) {
  return "FP_C [\n" + zeGeneratedChannel(frames, start, step) + "\n" + zeGeneratedChannel(frames, start * 0.5f, step) +
         "\n" + zeGeneratedChannel(frames, -start, step * 0.25f) + "\n]\n";
}

inline std::string zeGeneratedSurfaces(int surfaces, int frames) {
  std::string text = "{ SceneObjects\n{ M\nfilename STR generated.lwo\n{ Surfaces\n";
  for (int k = 0; k < surfaces; ++k) {
    const float f = 0.1f * float(k);
    text += "{ s\nname STR s" + std::to_string(k) + "\n{ Parameters\n{ BaseColor\nvalue " +
            zeGeneratedVector(frames, 0.2f + f, 0.002f) + "}\n";
    const char* const scalars[] = {"Luminosity", "Diffuse", "Specularity", "Glossiness"};
    for (const char* name : scalars)
      text += std::string("{ ") + name + "\nvalue FP_C " + zeGeneratedChannel(frames, f, 0.003f) + "\n}\n";
    text += "{ Sidedness\nvalue I4 0\n}\n{ VertexColoring\nvalue FP 0\n}\n}\n}\n";
  }
  return text + "}\n}\n}\n";
}

inline std::string zeGeneratedScene(int objects, int lights, int frames, const char* meshFile, int surfaces = 0) {
  std::string text = "# generated scene\n{ Scene\n{ SceneInfo\nframeStart I4 0\nframeEnd I4 " +
                     std::to_string(frames - 1) + "\nframeStep I4 1\nframesPerSecond FP 25\n}\n";
  text += "{ Cameras\n{ C\nposition " + zeGeneratedVector(frames, 0, 0.1f) + "rotation " +
          zeGeneratedVector(frames, 0, 0.01f) + "zoomFactor FP_C " + zeGeneratedChannel(frames, 3.2f, 0.001f) +
          "\n}\n}\n";
  text += "{ Lights\n";
  for (int l = 0; l < lights; ++l)
    text += "{ L\nname STR l" + std::to_string(l) + "\ntype I4 " + std::to_string(l % 3) + "\nposition " +
            zeGeneratedVector(frames, float(l), 0.1f) + "rotation " + zeGeneratedVector(frames, 0, 0.01f) +
            "color " + zeGeneratedVector(frames, 0.5f, 0.001f) + "intensity FP_C " +
            zeGeneratedChannel(frames, 1, 0.01f) + "\nconeAngles FP 0.5 0.1\nfalloff I4 1\nrange FP_C " +
            zeGeneratedChannel(frames, 10, 0.1f) + "\n}\n";
  text += "}\n{ LightInfo\nambient " + zeGeneratedVector(frames, 0.1f, 0.001f) + "}\n";
  if (surfaces > 0) text += zeGeneratedSurfaces(surfaces, frames);
  text += "{ Objects\n";
  for (int o = 0; o < objects; ++o)
    text += std::string("{ O\nzfilename STR ") + meshFile + "\nname STR o" + std::to_string(o) +
            (surfaces > 0 ? "\nfilename STR generated.lwo" : "") + "\nposition " +
            zeGeneratedVector(frames, float(o % 37), 0.05f) + "rotation " + zeGeneratedVector(frames, 0, 0.02f) +
            "scale " + zeGeneratedVector(frames, 1, 0.001f) + "}\n";
  return text + "}\n}\n";
}
