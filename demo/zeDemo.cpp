#include "demo/zeDemo.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/zeIni.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "base/zePath.h"

namespace {

// --- Parsing -----------------------------------------------------------------------

struct Ini {
  dictionary* d;
  std::string text(const std::string& key) const {
    const char* v = iniparser_getstring(d, key.c_str(), nullptr);
    return v ? v : "";
  }
  int integer(const std::string& key, int fallback) const { return iniparser_getint(d, key.c_str(), fallback); }
  bool has(const std::string& key) const { return iniparser_find_entry(d, key.c_str()) != 0; }
};

std::string numbered(const std::string& part, const char* kind, int n, const char* key) {
  return part + ":" + kind + "." + std::to_string(n) + "." + key;
}

void parsePart(const Ini& ini, const std::string& section, ZeDemoPart* part) {
  const std::string p = section + ":";
  part->name = section.substr(0, ZE_DEMO_MAX_NAME);
  part->time = ini.integer(p + "time", -1);
  part->timeReset = ini.integer(p + "timereset", 0);
  part->start = part->timeReset ? 0 : part->time;
  part->music = ini.text(p + "music");
  part->palette = ini.text(p + "palette");
  part->directory = ini.text(p + "directory");
  part->fileName = ini.text(p + "filename");
  const std::string range = ini.text(p + "camerarange");
  float nearValue = 0, farValue = 0;
  if (std::sscanf(range.c_str(), "%f %f", &nearValue, &farValue) == 2) {
    part->cameraNear = nearValue;
    part->cameraFar = farValue;
  }
  part->reuseObjects = ini.integer(p + "reuseobjects", 0);
  part->flushObjects = ini.integer(p + "flushobjects", 0);
  const char* channels[] = {"palette.r", "palette.g", "palette.b"};
  for (int c = 0; c < 3; ++c) {
    const int value = ini.integer(p + channels[c], -1);
    if (value == -1) continue;
    part->paletteChannel = c;
    part->paletteValue = value;
    break;
  }

  for (int n = 0; n < ZE_DEMO_NUMBERED && static_cast<int>(part->extras.size()) < ZE_DEMO_MAX_EXTRAS; ++n) {
    if (!ini.has(numbered(section, "extra", n, "directory")) || !ini.has(numbered(section, "extra", n, "filename")))
      continue;
    ZeDemoExtra extra;
    extra.directory = ini.text(numbered(section, "extra", n, "directory"));
    extra.fileName = ini.text(numbered(section, "extra", n, "filename"));
    extra.time = ini.integer(numbered(section, "extra", n, "time"), 0);
    extra.length = ini.integer(numbered(section, "extra", n, "length"), 0);
    extra.reuseObjects = ini.integer(numbered(section, "extra", n, "reuseobjects"), 0);
    extra.flushObjects = ini.integer(numbered(section, "extra", n, "flushobjects"), 0);
    part->extras.push_back(extra);
  }
  for (int n = 0; n < ZE_DEMO_NUMBERED && static_cast<int>(part->shaders.size()) < ZE_DEMO_MAX_SHADERS; ++n) {
    if (!ini.has(numbered(section, "shader", n, "name"))) continue;
    ZeDemoShader shader;
    shader.name = ini.text(numbered(section, "shader", n, "name"));
    shader.time = ini.integer(numbered(section, "shader", n, "time"), 0);
    shader.length = ini.integer(numbered(section, "shader", n, "length"), 0);
    part->shaders.push_back(shader);
  }
  for (int n = 0; n < ZE_DEMO_NUMBERED && static_cast<int>(part->faders.size()) < ZE_DEMO_MAX_FADERS; ++n) {
    const int time = ini.integer(numbered(section, "fader", n, "time"), -1);
    if (time == -1) continue;
    ZeDemoFader fader;
    fader.time = time;
    fader.length = ini.integer(numbered(section, "fader", n, "length"), 1000);
    fader.fadeLength = ini.integer(numbered(section, "fader", n, "fadelength"), 1000);
    fader.colour = static_cast<unsigned>(ini.integer(numbered(section, "fader", n, "color"), 0));
    const std::string fadeIn = numbered(section, "fader", n, "fadein");
    fader.fadeOut = !ini.has(fadeIn) || ini.integer(fadeIn, 0) == -1 ? 1 : 0;
    part->faders.push_back(fader);
  }
}

// --- Time rules -------------------------------------------------------------------------

int timeError(const char* format, const std::string& part) {
  zeMessage(ZE_ERROR | ZE_MSG_SHOW, format, part.c_str());
  return -1;
}

// The nearest earlier part that names a music; -2 when a part passed on the
// way restarts the clock (the music's time could not be followed across it).
int previousMusicPart(const ZeDemo& demo, int index) {
  for (int i = index - 1; i >= 0; --i) {
    if (!demo.parts[i].music.empty()) return i;
    if (demo.parts[i].timeReset) return -2;
  }
  return -1;
}

// --- Loading ------------------------------------------------------------------------------

struct Progress {
  IZeDemoEngine* engine;
  int part, parts;
};

int sceneProgress(int percent, void* user) {
  auto* p = static_cast<Progress*>(user);
  p->engine->loadingProgress(static_cast<int>((percent / 100.0 + p->part) * 100.0 / p->parts));
  return p->engine->userAborted() ? 1 : 0;
}

ZeSceneLoadParams paramsFrom(const ZeDemoCounters& c, int reuseObjects, bool extra) {
  ZeSceneLoadParams params;
  params.objectBase = c.object;
  params.lightBase = c.light;
  params.fxEmitterBase = c.fxEmitter;
  params.cubeMapBase = c.cubeMap;
  params.probesId = c.probe;
  params.cameraShaderBase = c.cameraShader;
  params.effectBase = c.effect;
  params.instanceShared = reuseObjects != 0;
  // An extra scene adds objects; the part's own scene keeps the backdrop and camera range.
  params.objectsOnly = extra;
  return params;
}

void advance(ZeDemoCounters* c, IZeDemoEngine* engine, int scene, ZeDemoSceneIds* ids) {
  ids->scene = scene;
  ids->objectBase = c->object;
  ids->lightBase = c->light;
  ids->fxEmitterBase = c->fxEmitter;
  ids->cubeMapBase = c->cubeMap;
  ids->cameraShaderBase = c->cameraShader;
  c->object += engine->sceneTotal(scene, ZE_SCENE_TOTAL_OBJECTS);
  c->light += engine->sceneTotal(scene, ZE_SCENE_TOTAL_LIGHTS);
  c->fxEmitter += engine->sceneTotal(scene, ZE_SCENE_TOTAL_FXEMITTERS);
  c->cubeMap += engine->sceneTotal(scene, ZE_SCENE_TOTAL_CUBEMAPS);
  c->cameraShader += engine->sceneTotal(scene, ZE_SCENE_TOTAL_CAMERASHADERS);
  c->effect += engine->sceneTotal(scene, ZE_SCENE_TOTAL_EFFECTS);
  c->probe += engine->sceneTotal(scene, ZE_SCENE_TOTAL_PROBES_ACTIVE);
  c->scene += 1;
}

std::string joined(const std::string& directory, const std::string& name) { return zePathJoin(directory, name); }

int loadScenes(ZeDemo* demo, const std::string& demoDirectory, ZeDemoCounters* c, IZeDemoEngine* engine) {
  const int count = static_cast<int>(demo->parts.size());
  for (int i = 0; i < count; ++i) {
    ZeDemoPart& part = demo->parts[i];
    if (part.fileName.empty()) continue;
    engine->setWorkingDirectory(demoDirectory.c_str());
    if (!part.directory.empty()) engine->enterDirectory(part.directory.c_str());
    Progress progress{engine, i, count};
    const int scene = c->scene;
    const int result = engine->loadScene(scene, part.fileName.c_str(), paramsFrom(*c, part.reuseObjects, false),
                                         sceneProgress, &progress);
    // A failed load still holds the slot: keep its number so unloading frees it.
    part.ids.scene = scene;
    if (result != 0) {
      if (result != 1) zeMessage(ZE_ERROR | ZE_MSG_SHOW, "Fail to load scene %s", part.fileName.c_str());
      return result == 1 ? 1 : -1;
    }
    advance(c, engine, scene, &part.ids);
    for (std::size_t e = 0; e < part.extras.size(); ++e) {
      ZeDemoExtra& extra = part.extras[e];
      engine->setWorkingDirectory(demoDirectory.c_str());
      engine->enterDirectory(extra.directory.c_str());
      const int extraScene = c->scene;
      const int loaded = engine->loadScene(extraScene, extra.fileName.c_str(),
                                           paramsFrom(*c, extra.reuseObjects, true), nullptr, nullptr);
      extra.ids.scene = extraScene;
      if (loaded != 0) {
        zeMessage(ZE_ERROR | ZE_MSG_SHOW, "Fail to load in scene %s the extra id=%d %s", part.fileName.c_str(),
                  static_cast<int>(e), extra.directory.c_str());
        return -1;
      }
      advance(c, engine, extraScene, &extra.ids);
    }
  }
  engine->setWorkingDirectory(demoDirectory.c_str());
  return 0;
}

int loadMusics(ZeDemo* demo, ZeDemoCounters* c, IZeDemoEngine* engine) {
  for (ZeDemoPart& part : demo->parts) {
    if (part.music.empty()) continue;
    const std::string path = joined(demo->musicDirectory, part.music);
    if (engine->loadMusic(path.c_str(), c->music) != 0) {
      zeMessage(ZE_ERROR | ZE_MSG_SHOW, "Fail to load music %s", path.c_str());
      return -1;
    }
    part.musicId = c->music++;
  }
  return 0;
}

int loadShaders(ZeDemo* demo, ZeDemoCounters* c, IZeDemoEngine* engine) {
  bool any = false;
  for (const ZeDemoPart& part : demo->parts) any = any || !part.shaders.empty();
  if (!any) return 0;
  if (!engine->shadersAvailable()) {
    zeNotBuilt("Full-screen shaders");
    zeMessage(ZE_INFO, "the demo plays without its full-screen shaders");
    return 0;
  }
  struct Loaded {
    std::string name;
    int id;
  };
  std::vector<Loaded> loaded;
  for (ZeDemoPart& part : demo->parts) {
    for (ZeDemoShader& shader : part.shaders) {
      int id = -1;
      for (const Loaded& l : loaded)
        if (strcasecmp(l.name.c_str(), shader.name.c_str()) == 0) id = l.id;
      if (id < 0) {
        const std::string path = joined(demo->shadersDirectory, shader.name);
        id = c->cameraShader++;
        if (engine->loadShader(id, path.c_str()) != 0) {
          zeMessage(ZE_ERROR | ZE_MSG_SHOW, "Failed to load shader %s", path.c_str());
          return -1;
        }
        loaded.push_back({shader.name, id});
      }
      shader.cameraShaderId = id;
    }
  }
  return 0;
}

void resetIdentifiers(ZeDemo* demo) {
  for (ZeDemoPart& part : demo->parts) {
    part.ids = ZeDemoSceneIds();
    part.musicId = -1;
    part.paletteId = -1;
    for (ZeDemoExtra& extra : part.extras) {
      extra.ids = ZeDemoSceneIds();
      extra.active = 0;
    }
    for (ZeDemoShader& shader : part.shaders) shader.cameraShaderId = -1;
  }
}

}  // namespace

ZeDemoParseResult zeDemoParse(const char* path, ZeDemo* demo) {
  *demo = ZeDemo();
  dictionary* d = path ? zeIniLoad(path) : nullptr;
  if (!d) return ZE_DEMO_UNREADABLE;
  const Ini ini{d};
  demo->musicDirectory = ini.text("setup:musicdirectory");
  demo->paletteDirectory = ini.text("setup:palettedirectory");
  demo->shadersDirectory = ini.text("setup:shadersdirectory");
  const int sections = iniparser_getnsec(d);
  for (int s = 0; s < sections; ++s) {
    const char* name = iniparser_getsecname(d, s);
    if (!name || !std::strstr(name, "part")) continue;
    demo->parts.emplace_back();
    parsePart(ini, name, &demo->parts.back());
  }
  iniparser_freedict(d);
  return demo->parts.empty() ? ZE_DEMO_NO_PARTS : ZE_DEMO_PARSED;
}

std::string zeDemoSceneMusicFile(const char* sceneAudio) {
  if (!sceneAudio || !*sceneAudio) return "";
  return zePathFileName(sceneAudio, false) + ".mp3";
}

int zeDemoApplyTimeRules(ZeDemo* demo, const std::vector<ZeDemoSceneMusic>& sceneMusic) {
  for (std::size_t i = 0; i < demo->parts.size(); ++i) {
    ZeDemoPart& part = demo->parts[i];
    const ZeDemoSceneMusic& scene = sceneMusic[i];
    if (part.time == -1) {
      if (!part.music.empty())
        return timeError("Part %s: no time, but music specified in the part, impossible to determine time begin of "
                         "the part",
                         part.name);
      if (scene.music.empty())
        return timeError("Part %s: no time, and no music specified in scene, impossible to determine time begin of "
                         "the part",
                         part.name);
      const int before = previousMusicPart(*demo, static_cast<int>(i));
      if (before == -2)
        return timeError("Part %s: timereset no supported before a part that has a music within the scene", part.name);
      if (before == -1)
        return timeError("Part %s: when no time in part and a music in the scene, there must be a music before",
                         part.name);
      if (scene.music != demo->parts[before].music)
        return timeError("Part %s: when no time in part, the music in the scene must be the same than the previous "
                         "music",
                         part.name);
      part.time = part.start = demo->parts[before].start + scene.offsetMs;
    } else if (part.music.empty() && !scene.music.empty()) {
      const int before = previousMusicPart(*demo, static_cast<int>(i));
      if (before == -2)
        return timeError("Part %s: timereset no supported before a part that has a music within the scene", part.name);
      if (before >= 0 && demo->parts[before].music == scene.music)
        return timeError("Part %s: music within the scene, with a time in the part :the music must not be the same "
                         "music than previous",
                         part.name);
      if (scene.offsetMs != 0)
        return timeError("Part %s: music within the scene, with a time in the part :the music offset within the scene "
                         "must be zero",
                         part.name);
      part.music = scene.music;
    }
  }
  return 0;
}

int zeDemoLoad(ZeDemo* demo, const char* path, ZeDemoCounters* counters, IZeDemoEngine* engine) {
  if (!path || !*path) {
    zeMessage(ZE_ERROR | ZE_MSG_SHOW, "Fail to load %s", path ? path : "");
    return -1;
  }
  const ZeDemoParseResult parsed = zeDemoParse(path, demo);
  if (parsed == ZE_DEMO_UNREADABLE) {
    zeMessage(ZE_ERROR | ZE_MSG_SHOW, "Fail to parse ini");
    return -1;
  }
  if (parsed == ZE_DEMO_NO_PARTS) {
    zeMessage(ZE_ERROR | ZE_MSG_SHOW, "No parts!");
    return -1;
  }
  if (demo->parts.size() > static_cast<std::size_t>(ZE_DEMO_MAX_PARTS)) {
    zeMessage(ZE_WARN, "%s: %d parts beyond the first %d are left out", path,
              static_cast<int>(demo->parts.size()) - ZE_DEMO_MAX_PARTS, ZE_DEMO_MAX_PARTS);
    demo->parts.resize(ZE_DEMO_MAX_PARTS);
  }
  resetIdentifiers(demo);
  // A bare name is in the working directory as it is: inside a mounted
  // archive that is the archive's root, which no disk path names.
  const std::string demoDirectory =
      std::strchr(path, '/') ? zeDirectoryOf(zeAbsolutePath(path)) : zeGetWorkingDirectory();
  engine->setWorkingDirectory(demoDirectory.c_str());
  engine->loadingStart();
  engine->loadingProgress(0);

  for (ZeDemoPart& part : demo->parts)
    if (!part.palette.empty()) part.paletteId = counters->palette++;

  int result = loadScenes(demo, demoDirectory, counters, engine);
  if (result == 0) {
    std::vector<ZeDemoSceneMusic> sceneMusic(demo->parts.size());
    for (std::size_t i = 0; i < demo->parts.size(); ++i) {
      const int scene = demo->parts[i].ids.scene;
      if (scene < 0) continue;
      sceneMusic[i].music = zeDemoSceneMusicFile(engine->sceneAudioFile(scene));
      sceneMusic[i].offsetMs = engine->sceneAudioOffset(scene);
    }
    result = zeDemoApplyTimeRules(demo, sceneMusic);
  }
  if (result == 0) result = loadMusics(demo, counters, engine);
  if (result == 0) result = loadShaders(demo, counters, engine);
  engine->loadingEnd();
  return result;
}

void zeDemoUnload(ZeDemo* demo, IZeDemoEngine* engine) {
  for (ZeDemoPart& part : demo->parts) {
    if (part.musicId >= 0) engine->deleteMusic(part.musicId);
    part.musicId = -1;
  }
  for (ZeDemoPart& part : demo->parts) {
    if (part.ids.scene >= 0) engine->deleteScene(part.ids.scene);
    part.ids = ZeDemoSceneIds();
    for (ZeDemoExtra& extra : part.extras) {
      if (extra.ids.scene >= 0) engine->deleteScene(extra.ids.scene);
      extra.ids = ZeDemoSceneIds();
    }
  }
  int deleted[ZE_DEMO_MAX_PARTS * ZE_DEMO_MAX_SHADERS];
  int deletedCount = 0;
  for (ZeDemoPart& part : demo->parts) {
    for (ZeDemoShader& shader : part.shaders) {
      bool seen = false;
      for (int i = 0; i < deletedCount; ++i) seen = seen || deleted[i] == shader.cameraShaderId;
      if (shader.cameraShaderId >= 0 && !seen) {
        engine->deleteShader(shader.cameraShaderId);
        deleted[deletedCount++] = shader.cameraShaderId;
      }
      shader.cameraShaderId = -1;
    }
  }
}
