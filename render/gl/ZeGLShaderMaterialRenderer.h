// One material renderer per translated shader pair: the GL program, the two
// register files (vertex 256, pixel 224 float4s) written by name or by
// register and uploaded before each draw when dirty, sampler units 0-7 for the
// pixel stage and 8-11 for the vertex stage with a sampler object each.
#pragma once

#include <irrlicht.h>

#include <string>
#include <vector>

#include "effect/zeHlslTranslator.h"
#include "render/gl/ZeGLEngineMaterial.h"

class CZeGLShaderMaterialRenderer : public irr::video::IMaterialRenderer,
                                    public irr::video::IMaterialRendererServices {
 public:
  static constexpr int kUnits = 12;

  // baseRenderer gives the fixed render states (blending) of the base material; may be null.
  CZeGLShaderMaterialRenderer(irr::video::IVideoDriver* driver, irr::video::IShaderConstantSetCallBack* callback,
                              irr::video::IMaterialRenderer* baseRenderer, int userData);
  ~CZeGLShaderMaterialRenderer() override;

  // Compiles and links the pair; on success the new program replaces the old
  // one (hot recompile), on failure the old one stays and *error says why.
  bool build(const SZeCompiledProgram& vertex, const SZeCompiledProgram& pixel, std::string* error);
  unsigned program() const { return program_; }

  // A texture for a sampler unit (0-7 pixel, 8-11 vertex) that Irrlicht does
  // not own: bound with its own sampler state for the draws of this renderer.
  // name 0 clears the unit. wrap values are irr::video::E_TEXTURE_CLAMP.
  void setStageTexture(int unit, unsigned glTarget, unsigned glName, bool hasMipMaps, int wrapU = 0, int wrapV = 0,
                       bool bilinear = true, bool trilinear = false);

  // Register files as the shaders see them (for tests and tools).
  const float* vertexRegisters() const { return vertexFile_.values.data(); }
  const float* pixelRegisters() const { return pixelFile_.values.data(); }

  // IMaterialRenderer
  void OnSetMaterial(const irr::video::SMaterial& material, const irr::video::SMaterial& lastMaterial,
                     bool resetAllRenderstates, irr::video::IMaterialRendererServices* services) override;
  bool OnRender(irr::video::IMaterialRendererServices* service, irr::video::E_VERTEX_TYPE vtxtype) override;
  void OnUnsetMaterial() override;
  bool isTransparent() const override;

  // IMaterialRendererServices: constants by name follow the constant table,
  // by register they are raw float4s.
  void setBasicRenderStates(const irr::video::SMaterial& material, const irr::video::SMaterial& lastMaterial,
                            bool resetAllRenderstates) override;
  bool setVertexShaderConstant(const irr::c8* name, const irr::f32* floats, int count) override;
  bool setVertexShaderConstant(const irr::c8* name, const bool* bools, int count) override;
  bool setVertexShaderConstant(const irr::c8* name, const irr::s32* ints, int count) override;
  void setVertexShaderConstant(const irr::f32* data, irr::s32 startRegister, irr::s32 constantAmount = 1) override;
  bool setPixelShaderConstant(const irr::c8* name, const irr::f32* floats, int count) override;
  bool setPixelShaderConstant(const irr::c8* name, const bool* bools, int count) override;
  bool setPixelShaderConstant(const irr::c8* name, const irr::s32* ints, int count) override;
  void setPixelShaderConstant(const irr::f32* data, irr::s32 startRegister, irr::s32 constantAmount = 1) override;
  irr::video::IVideoDriver* getVideoDriver() override { return driver_; }

 private:
  struct RegisterFile {
    std::vector<float> values;
    int capacity = 0;
    int dirtyFirst = 0, dirtyEnd = 0;  // registers to upload
    std::vector<int> locations;        // uniform location of each register ("zeVC[k]"), -1 when unused
    CZeConstantTable table;
    void markDirty(int first, int end);
  };
  struct Unit {
    unsigned target = 0, name = 0;
    bool hasMipMaps = false;
    int wrapU = 0, wrapV = 0;
    bool bilinear = true, trilinear = false;
    unsigned previousBinding = 0;  // restored after the draw so Irrlicht's view stays true
    bool bound = false;
  };

  bool byName(RegisterFile& file, const char* name, const float* values, int count);
  void byRegister(RegisterFile& file, const float* data, int start, int amount);
  void upload(RegisterFile& file);
  void configureSampler(int unit, bool hasMipMaps, int wrapU, int wrapV, bool bilinear, bool trilinear);

  irr::video::IVideoDriver* driver_;
  irr::video::IShaderConstantSetCallBack* callback_;
  irr::video::IMaterialRenderer* baseRenderer_;
  int userData_;
  unsigned program_ = 0;
  RegisterFile vertexFile_, pixelFile_;
  Unit units_[kUnits];
  unsigned samplers_[kUnits] = {};
  std::vector<float> scratch_;  // bool and int constants converted to floats
  const irr::video::SMaterial* material_ = nullptr;
  irr::video::SMaterial currentMaterial_;
  ZeGLEngineStates engineStates_;  // states of the engine record beyond Irrlicht's
};
