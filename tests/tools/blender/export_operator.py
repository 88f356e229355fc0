# Installs the exporter as an add-on and exports through its operator (File >
# Export > Zarn scene), in binary form:
#   blender -b FILE.blend --python export_operator.py -- ADDON_FOLDER OUT.zscn
import sys

import bpy

folder, out = sys.argv[sys.argv.index("--") + 1:][:2]
sys.path.insert(0, folder)
import zarn_export  # noqa: E402

zarn_export.register()
menu = bpy.types.TOPBAR_MT_file_export
if zarn_export.menu_entry not in getattr(menu.draw, "_draw_funcs", []):
    sys.exit("the export menu has no Zarn entry")
if bpy.ops.export_scene.zarn(filepath=out, binary=True) != {"FINISHED"}:
    sys.exit("the operator did not finish")
zarn_export.unregister()
