// The node extension: an animator attached to every object node that carries
// what the engine keeps per object and per material beyond Irrlicht's own
// data. Found on a node by its animator type.
//
// Irrlicht 1.8's material has 4 texture layers and no place for an effect, so
// the engine's material record (effect, technique, row, the row's own sampler
// textures) lives in the extension's rows, one row per node material.
#pragma once

#include <irrlicht.h>

class IZeEffect;
class IZeSurface;

constexpr irr::s32 ZE_NODE_EXT_TYPE = 4321;
constexpr irr::s32 ZE_LIGHT_NODE_EXT_TYPE = 4322;

// Tangent mode of an object.
enum ZeTangentMode { ZE_TANGENTS_AUTO = 0, ZE_TANGENTS_NEVER = 1, ZE_TANGENTS_ALWAYS = 2 };

// A texture of a row's own for one sampler of the row's effect (a surface's
// image map): at every draw of the row it wins over the effect's texture.
struct SZeRowTexture {
  int handle = -1;  // the effect's sampler parameter; -1: the pass's first layer when it has none
  irr::video::ITexture* texture = nullptr;  // one reference
  bool srgb = false;
};

constexpr int ZE_ROW_TEXTURES = 16;

// The engine's part of one node material.
struct SZeMaterialRecord {
  IZeEffect* effect = nullptr;  // one reference held (by the row)
  int technique = 0;
  int secondIndex = 0;
  int row = -1;  // the node material this record belongs to
  SZeRowTexture textures[ZE_ROW_TEXTURES];
  int textureCount = 0;

  // False (and nothing kept) when the row holds ZE_ROW_TEXTURES already.
  bool addTexture(int handle, irr::video::ITexture* texture, bool srgb) {
    if (textureCount >= ZE_ROW_TEXTURES) return false;
    if (texture) texture->grab();
    textures[textureCount++] = SZeRowTexture{handle, texture, srgb};
    return true;
  }
  void clearTextures() {
    for (int i = 0; i < textureCount; ++i)
      if (textures[i].texture) textures[i].texture->drop();
    textureCount = 0;
  }
};

class IZeSceneNodeExt : public irr::scene::ISceneNodeAnimator {
 public:
  virtual void setCastsShadows(bool casts) = 0;
  virtual bool getCastsShadows() const = 0;

  // Rows. An index outside the rows is ignored (getters answer nullptr / false).
  virtual irr::u32 getRowCount() const = 0;
  virtual SZeMaterialRecord* getMaterialRecord(irr::u32 row) = 0;
  virtual IZeEffect* getEffect(irr::u32 row) const = 0;
  virtual void setEffect(irr::u32 row, IZeEffect* effect, int technique, int secondIndex) = 0;
  virtual void setIndices(irr::u32 row, int technique, int secondIndex) = 0;
  virtual void setTechnique(irr::u32 row, int technique) = 0;
  virtual void setSecondIndex(irr::u32 row, int secondIndex) = 0;
  virtual void clearEffect(irr::u32 row) = 0;
  virtual void clearEffects() = 0;
  virtual IZeSurface* getSurface(irr::u32 row) const = 0;
  virtual void setSurface(irr::u32 row, IZeSurface* surface) = 0;
  virtual void clearSurface(irr::u32 row) = 0;
  virtual void clearSurfaces() = 0;
  // Whether any mesh buffer reads textures through its second coordinate set
  // (kept when a tangent copy is made).
  virtual bool usesSecondUV() const = 0;
  // The material pair (UV value, UV2 mask) of a row's mesh buffer; -1, -1 when
  // the buffer carries none.
  virtual void getBufferUVPair(irr::u32 row, irr::s32* uvValue, irr::s32* uv2Mask) const = 0;

  virtual void setTangentMode(int mode) = 0;
  virtual int getTangentMode() const = 0;
  virtual bool needTangents() const = 0;
  // Re-applies every row after surfaces or effects changed; false when a
  // needed tangent copy cannot be made.
  virtual bool update() = 0;
  // Re-writes one row's material after its surface's values changed (the
  // effect and its textures stay as they were bound).
  virtual void refreshRow(irr::u32 row) = 0;

  // The effect list (effect, technique, second index per row), saved and restored.
  virtual void saveEffects() = 0;
  virtual void restoreEffects() = 0;

  // Cube maps: opaque, reference-counted cube textures of the cube-map layer.
  virtual void setCubeMap1(irr::IReferenceCounted* cubeTexture) = 0;
  virtual irr::IReferenceCounted* getCubeMap1() const = 0;
  virtual void setCubeMap2(irr::IReferenceCounted* cubeTexture) = 0;
  virtual irr::IReferenceCounted* getCubeMap2() const = 0;
  virtual void setCubeMapBlend(float blend) = 0;
  virtual float getCubeMapBlend() const = 0;
  virtual void setBoxProjection(bool on) = 0;
  virtual void setBox(const irr::core::vector3df& position, const irr::core::vector3df& size) = 0;
  virtual bool getBoxProjection() const = 0;
  virtual const irr::core::vector3df& getBoxPosition() const = 0;
  virtual const irr::core::vector3df& getBoxSize() const = 0;

  virtual irr::u32 getSelectionMask() const = 0;
  virtual irr::u32 setSelectionMask(irr::u32 mask) = 0;  // returns the old mask

  // Stored and read back by the renderers.
  virtual void setMatrix(const irr::core::matrix4& matrix) = 0;
  virtual const irr::core::matrix4& getMatrix() const = 0;
};

// The node's extension (animator of type 4321), or nullptr.
IZeSceneNodeExt* zeFindNodeExt(irr::scene::ISceneNode* node);
