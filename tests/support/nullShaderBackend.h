// Shader services that translate for real and hand out material ids without
// a GPU: effects load, bind and choose techniques on the NULL driver.
#pragma once

#include <string>

#include "effect/CZeGPUProgrammingServices.h"

class NullShaderBackend : public IZeShaderBackend {
 public:
  int next = 100;
  int addShaderMaterial(const SZeCompiledProgram&, const SZeCompiledProgram&,
                        irr::video::IShaderConstantSetCallBack*, int, int, std::string*) override {
    return next++;
  }
  bool updateShaderMaterial(int, const SZeCompiledProgram&, const SZeCompiledProgram&, std::string*) override {
    return true;
  }
};
