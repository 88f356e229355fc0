# Builds the exporter's test scenes in headless Blender and writes, beside the
# saved .blend, what Blender itself evaluates at a few frames (reference.txt),
# for the tests to hold the exported scene against.
#
#   blender -b --factory-startup --python make_scene.py -- FOLDER main|bad|speed
#
# main:  a cube parented to an empty, both moving and turning, a second object
#        sharing the cube's mesh, a camera whose focal length changes, a spot
#        light whose cone changes, and a sphere animated by a shape key.
# bad:   a curve with a bevel, a metaball and a volume beside a cube.
# speed: 100 animated cubes over 250 frames.
#
# reference.txt, one record a line:
#   matrix NAME FRAME m00 m01 ... m33        world matrix, row by row
#   view FRAME TANX TANY                     tangents of the half view angles (from the camera frame)
#   spot FRAME SIZE BLEND                    spot size (radians, full cone) and blend
#   points NAME FRAME N x y z ...            evaluated mesh vertices, object space
#   box FRAME XMIN YMIN XMAX YMAX            the cube's corners projected to pixels (top row 0)
#   surface NAME r g b roughness specular emission-strength alpha culling
import math
import os
import sys

import bpy
from bpy_extras.object_utils import world_to_camera_view
from mathutils import Vector

FOLDER, MODE = sys.argv[sys.argv.index("--") + 1:][:2]
FRAMES = (1, 50)
CHECKED = (1, 13, 26, 37, 50)
WIDTH, HEIGHT = 320, 240


def clear():
    for obj in list(bpy.data.objects):
        bpy.data.objects.remove(obj)
    scene = bpy.context.scene
    scene.render.fps, scene.render.fps_base = 25, 1.0
    scene.frame_start, scene.frame_end = FRAMES
    scene.render.resolution_x, scene.render.resolution_y = WIDTH, HEIGHT
    scene.render.resolution_percentage = 100
    world = scene.world or bpy.data.worlds.new("World")
    scene.world = world
    world.use_nodes = True
    background = next(n for n in world.node_tree.nodes if n.type == "BACKGROUND")
    background.inputs["Color"].default_value = (0.0, 0.0, 0.0, 1.0)
    return scene


def material(name, base, emission=(0, 0, 0), strength=0.0, roughness=0.5, specular=0.5, alpha=1.0,
             culling=False):
    mat = bpy.data.materials.new(name)
    mat.use_nodes = True
    bsdf = mat.node_tree.nodes["Principled BSDF"]
    bsdf.inputs["Base Color"].default_value = (*base, 1.0)
    bsdf.inputs["Emission"].default_value = (*emission, 1.0)
    bsdf.inputs["Emission Strength"].default_value = strength
    bsdf.inputs["Roughness"].default_value = roughness
    bsdf.inputs["Specular"].default_value = specular
    bsdf.inputs["Alpha"].default_value = alpha
    mat.use_backface_culling = culling
    return mat


def key(target, path, frame, value):
    setattr(target, path, value)
    target.keyframe_insert(path, frame=frame)


def cube(name, size, location, mat):
    bpy.ops.mesh.primitive_cube_add(size=size, location=location)
    obj = bpy.context.active_object
    obj.name = name
    obj.data.name = name + "Mesh"
    obj.data.materials.append(mat)
    return obj


def main_scene(scene):
    rig = bpy.data.objects.new("Rig", None)
    scene.collection.objects.link(rig)
    key(rig, "location", 1, (0.0, 0.0, 0.0))
    key(rig, "location", 50, (0.6, 0.4, 0.3))
    key(rig, "rotation_euler", 1, (0.0, 0.0, 0.0))
    key(rig, "rotation_euler", 50, (0.0, 0.0, math.radians(40)))

    red = material("Red", (1.0, 0.0, 0.0), emission=(1.0, 0.0, 0.0), strength=1.0, roughness=0.3, specular=0.4,
                   culling=True)
    mover = cube("Mover", 0.6, (0, 0, 0), red)
    mover.parent = rig
    key(mover, "location", 1, (-1.5, 0.0, 0.2))
    key(mover, "location", 25, (0.0, 1.0, 0.8))
    key(mover, "location", 50, (1.2, -0.5, 0.0))
    key(mover, "rotation_euler", 1, (0.0, 0.0, 0.0))
    key(mover, "rotation_euler", 50, (math.radians(70), math.radians(-35), math.radians(120)))
    key(mover, "scale", 1, (1.0, 1.0, 1.0))
    key(mover, "scale", 50, (1.3, 0.8, 1.0))
    # Shares the cube's mesh, behind the camera, so the file is written once.
    twin = bpy.data.objects.new("Twin", mover.data)
    scene.collection.objects.link(twin)
    twin.location = (0.0, -20.0, 0.0)

    bpy.ops.mesh.primitive_uv_sphere_add(segments=16, ring_count=8, radius=0.5, location=(-3.0, 4.0, 1.0))
    blob = bpy.context.active_object
    blob.name = "Blob"
    blue = material("Blue", (0.1, 0.2, 0.9), roughness=0.8, alpha=0.75)
    stripes = bpy.data.images.new("Stripes", 4, 2)
    # Blender's first row is the bottom one: blue below, white above.
    stripes.pixels = [v for i in range(8) for v in ((1.0, 1.0, 1.0, 1.0) if i >= 4 else (0.0, 0.0, 1.0, 1.0))]
    stripes.pack()
    texture = blue.node_tree.nodes.new("ShaderNodeTexImage")
    texture.image = stripes
    blue.node_tree.links.new(texture.outputs["Color"], blue.node_tree.nodes["Principled BSDF"].inputs["Base Color"])
    blob.data.materials.append(blue)
    blob.shape_key_add(name="Basis")
    swell = blob.shape_key_add(name="Swell")
    for point in swell.data:
        point.co = Vector((point.co.x * 1.4, point.co.y * 0.7, point.co.z + 0.3 * max(point.co.z, 0.0)))
    key(swell, "value", 1, 0.0)
    key(swell, "value", 30, 1.0)
    key(swell, "value", 50, 0.4)

    cam_data = bpy.data.cameras.new("Cam")
    cam = bpy.data.objects.new("Cam", cam_data)
    scene.collection.objects.link(cam)
    cam.location = (0.5, -9.0, 3.0)
    cam.rotation_euler = (math.radians(75), 0.0, math.radians(4))
    key(cam_data, "lens", 1, 35.0)
    key(cam_data, "lens", 50, 50.0)
    scene.camera = cam

    spot_data = bpy.data.lights.new("Spot", "SPOT")
    spot = bpy.data.objects.new("Spot", spot_data)
    scene.collection.objects.link(spot)
    spot.location = (3.0, -4.0, 5.0)
    spot.rotation_euler = (math.radians(40), math.radians(20), math.radians(30))
    spot_data.energy = 800.0
    key(spot_data, "spot_blend", 1, 0.25)
    key(spot_data, "spot_size", 1, math.radians(60))
    key(spot_data, "spot_size", 50, math.radians(35))
    key(spot_data, "spot_blend", 50, 0.5)
    return mover


def bad_scene(scene):
    cube("Plain", 1.0, (0, 0, 0), material("Grey", (0.5, 0.5, 0.5)))
    curve_data = bpy.data.curves.new("Ring", "CURVE")
    curve_data.dimensions = "3D"
    curve_data.bevel_depth = 0.1
    spline = curve_data.splines.new("POLY")
    spline.points.add(3)
    for i, point in enumerate(spline.points):
        point.co = (math.cos(i), math.sin(i), 0.0, 1.0)
    ring = bpy.data.objects.new("Ring", curve_data)
    scene.collection.objects.link(ring)
    bpy.ops.object.metaball_add(type="BALL", location=(3, 0, 0))
    bpy.context.active_object.name = "Drop"
    volume = bpy.data.objects.new("Smoke", bpy.data.volumes.new("Smoke"))
    scene.collection.objects.link(volume)
    cam = bpy.data.objects.new("Cam", bpy.data.cameras.new("Cam"))
    scene.collection.objects.link(cam)
    scene.camera = cam


def speed_scene(scene):
    scene.frame_start, scene.frame_end = 1, 250
    mat = material("Grey", (0.5, 0.5, 0.5))
    for i in range(100):
        obj = cube("Cube%03d" % i, 0.5, (i % 10, i // 10, 0.0), mat)
        key(obj, "location", 1, (i % 10, i // 10, 0.0))
        key(obj, "location", 250, (i % 10, i // 10, 2.0 + i * 0.01))
        key(obj, "rotation_euler", 1, (0.0, 0.0, 0.0))
        key(obj, "rotation_euler", 250, (0.0, 1.0, i * 0.05))
    cam = bpy.data.objects.new("Cam", bpy.data.cameras.new("Cam"))
    scene.collection.objects.link(cam)
    scene.camera = cam


def numbers(values):
    return " ".join("%.9g" % v for v in values)


def reference(scene, mover):
    lines = []
    for mat in bpy.data.materials:
        if mat.users == 0 or not mat.use_nodes:
            continue
        i = mat.node_tree.nodes["Principled BSDF"].inputs
        lines.append("surface %s %s %d" % (mat.name, numbers(
            list(i["Base Color"].default_value)[:3] + [i["Roughness"].default_value, i["Specular"].default_value,
                                                       i["Emission Strength"].default_value,
                                                       i["Alpha"].default_value]), mat.use_backface_culling))
    for frame in CHECKED:
        scene.frame_set(frame)
        depsgraph = bpy.context.evaluated_depsgraph_get()
        for name in ("Mover", "Twin", "Blob", "Cam", "Spot"):
            m = bpy.data.objects[name].evaluated_get(depsgraph).matrix_world
            lines.append("matrix %s %d %s" % (name, frame, numbers([m[r][c] for r in range(4) for c in range(4)])))
        cam = scene.camera.evaluated_get(depsgraph)
        corners = cam.data.view_frame(scene=scene)
        lines.append("view %d %s" % (frame, numbers([max(abs(c.x) for c in corners) / abs(corners[0].z),
                                                     max(abs(c.y) for c in corners) / abs(corners[0].z)])))
        spot = bpy.data.objects["Spot"].evaluated_get(depsgraph).data
        lines.append("spot %d %s" % (frame, numbers([spot.spot_size, spot.spot_blend])))
        blob = bpy.data.objects["Blob"].evaluated_get(depsgraph)
        mesh = blob.to_mesh()
        lines.append("points Blob %d %d %s" % (frame, len(mesh.vertices),
                                               numbers([c for v in mesh.vertices for c in v.co])))
        blob.to_mesh_clear()
        world = mover.evaluated_get(depsgraph).matrix_world
        pixels = []
        for corner in mover.bound_box:
            p = world_to_camera_view(scene, cam, world @ Vector(corner))
            pixels.append((p.x * WIDTH, (1.0 - p.y) * HEIGHT))
        lines.append("box %d %s" % (frame, numbers([min(p[0] for p in pixels), min(p[1] for p in pixels),
                                                    max(p[0] for p in pixels), max(p[1] for p in pixels)])))
    with open(os.path.join(FOLDER, "reference.txt"), "w") as out:
        out.write("\n".join(lines) + "\n")


def run():
    scene = clear()
    if MODE == "main":
        mover = main_scene(scene)
    elif MODE == "bad":
        bad_scene(scene)
    else:
        speed_scene(scene)
    bpy.ops.wm.save_as_mainfile(filepath=os.path.join(FOLDER, MODE + ".blend"))
    if MODE == "main":
        reference(scene, mover)


run()
