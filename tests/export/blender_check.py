"""Imports one .glb into Blender and checks the largest surface mesh it brings in, the
line objects (meshes of edges without faces) that lines become, and the animation of the
largest mesh.

    blender -b --factory-startup --python blender_check.py -- FILE.glb \
        [--mesh-vertices N] [--mesh-triangles N] [--uv] [--colors] [--objects N] \
        [--line-objects N] [--min-line-edges N] [--animation-frames N] \
        [--closed-parts N] [--genus-along-x G,G,...] [--caps-face-out] [--below PART:PART] \
        [--text-meshes N] [--reads NAME=G,G,...] [--changing NAME] [--same-as FILE.glb]

Prints what it found and ends Blender with exit code 0 when every expectation holds, 1
when one does not, 2 for bad arguments.
"""
import argparse
import sys
import traceback


def parse_arguments(argv):
    args = argv[argv.index("--") + 1:] if "--" in argv else []
    parser = argparse.ArgumentParser(prog="blender_check.py")
    parser.add_argument("file")
    parser.add_argument("--mesh-vertices", type=int, help="vertices of the largest mesh")
    parser.add_argument("--mesh-triangles", type=int, help="triangles of the largest mesh")
    parser.add_argument("--uv", action="store_true", help="the largest mesh has a UV map")
    parser.add_argument("--colors", action="store_true", help="the largest mesh has a colour attribute")
    parser.add_argument("--objects", type=int, help="objects the import creates")
    parser.add_argument("--line-objects", type=int, help="objects with edges but no faces")
    parser.add_argument("--min-line-edges", type=int, help="edges of all line objects together, at least")
    parser.add_argument("--animation-frames", type=int,
                        help="frames the largest mesh plays: shape keys and keyframes, one each per frame")
    parser.add_argument("--closed-parts", type=int,
                        help="the largest mesh, its vertices welded, is closed (every edge joins two faces) "
                             "and falls into this many parts")
    parser.add_argument("--genus-along-x", help="holes through each part, parts ordered along +X, e.g. 0,2,1")
    parser.add_argument("--caps-face-out", action="store_true",
                        help="faces flat at the front (least Y) face -Y, towards the front view, and those at "
                             "the back face +Y")
    parser.add_argument("--below", help="A:B: part A (numbered along +X) has its centre lower than part B")
    parser.add_argument("--text-meshes", type=int, help="surface meshes besides the largest (text)")
    parser.add_argument("--reads", action="append", default=[],
                        help="NAME=G,G,...: the object NAME, as placed in the scene, is a closed solid whose "
                             "parts along +X have these holes and whose caps face the front view")
    parser.add_argument("--changing", action="append", default=[],
                        help="NAME: exactly one object of that name (Blender adds .001, ...) shows in every "
                             "frame of the animation, and not always the same one")
    parser.add_argument("--same-as",
                        help="FILE.glb: the same file as written without compression; every mesh object of it "
                             "(by name, or NAME geometry) has as many vertices here and, in the scene and in "
                             "its last shape key, the same bounds to within 1/30000 of its size")
    return parser.parse_args(args)


def check(options):
    # Debian 12's glTF importer still uses numpy.bool, which numpy 1.24 removed.
    import numpy
    numpy.bool = bool
    import bpy

    reference = None
    if options.same_as:
        # The reference first, alone, so that both files' objects get their names in the
        # same order ("Label", "Label.001", ...).
        bpy.ops.wm.read_factory_settings(use_empty=True)
        bpy.ops.import_scene.gltf(filepath=options.same_as)
        reference = (bpy.context.scene.frame_current,
                     {o.name: mesh_bounds(o) for o in bpy.context.scene.objects
                      if o.type == "MESH" and len(o.data.vertices) > 0})
    bpy.ops.wm.read_factory_settings(use_empty=True)
    result = bpy.ops.import_scene.gltf(filepath=options.file)
    if "FINISHED" not in result:
        print(f"blender_check: the import did not finish: {result}")
        return 1

    objects = list(bpy.context.scene.objects)
    meshes = [o for o in objects if o.type == "MESH"]
    surfaces = [o for o in meshes if len(o.data.polygons) > 0]
    lines = [o for o in meshes if len(o.data.polygons) == 0 and len(o.data.edges) > 0]
    line_edges = sum(len(o.data.edges) for o in lines)
    print(f"blender_check: {len(objects)} objects, {len(surfaces)} surface meshes, "
          f"{len(lines)} line objects with {line_edges} edges "
          f"({', '.join(f'{o.name}: {len(o.data.edges)}' for o in lines) or 'none'})")
    if not surfaces:
        print("blender_check: no surface mesh was imported")
        return 1
    # Lines can have far more vertices than the surface, so faces decide which is largest.
    largest = max(surfaces, key=lambda o: (len(o.data.polygons), len(o.data.vertices)))
    mesh = largest.data
    triangles = sum(1 for p in mesh.polygons if len(p.vertices) == 3)
    uv_maps = [layer.name for layer in mesh.uv_layers]
    colours = [attribute.name for attribute in mesh.color_attributes]
    print(f"blender_check: largest mesh '{largest.name}': {len(mesh.vertices)} vertices, "
          f"{len(mesh.polygons)} polygons ({triangles} triangles), UV maps {uv_maps}, colours {colours}")

    failures = []

    def expect(what, found, wanted):
        if wanted is not None and found != wanted:
            failures.append(f"{what}: found {found}, expected {wanted}")

    expect("objects", len(objects), options.objects)
    expect("text meshes", len(surfaces) - 1, options.text_meshes)
    expect("line objects", len(lines), options.line_objects)
    if options.min_line_edges is not None and line_edges < options.min_line_edges:
        failures.append(f"line edges: found {line_edges}, expected at least {options.min_line_edges}")
    expect("vertices", len(mesh.vertices), options.mesh_vertices)
    expect("polygons", len(mesh.polygons), options.mesh_triangles)
    expect("triangles", triangles, options.mesh_triangles)
    if options.uv and not uv_maps:
        failures.append("no UV map")
    if options.colors and not colours:
        failures.append("no colour attribute")
    if options.animation_frames is not None:
        failures += check_animation(mesh, options.animation_frames)
    if options.closed_parts is not None:
        failures += check_solid(largest, options)
    for reads in options.reads:
        name, genus = reads.split("=")
        found = [o for o in objects if o.name == name]
        if len(found) != 1:
            failures.append(f"{name}: {len(found)} objects of that name, expected 1")
            continue
        solid = argparse.Namespace(closed_parts=len(genus.split(",")), genus_along_x=genus, caps_face_out=True,
                                   below=None)
        failures += [f"{name}: {f}" for f in check_solid(found[0], solid, world=True)]
    for name in options.changing:
        failures += check_changing(objects, name)
    if reference is not None:
        failures += check_same_as(objects, reference, options.same_as)
    for failure in failures:
        print(f"blender_check: MISMATCH {failure}")
    print("blender_check: " + ("FAILED" if failures else "OK"))
    return 1 if failures else 0


def check_animation(mesh, frames):
    """Blender 3.4 imports each morph target as a shape key and the weights animation as an
    action on the shape keys, one F-curve per key with a keyframe per animation time (in
    the scene's frames, which need not be the file's). Frame k shows all of key k alone, so
    the keyframe where each key is 1 differs from key to key."""
    keys = mesh.shape_keys
    blocks = [b for b in keys.key_blocks if b != keys.reference_key] if keys else []
    action = keys.animation_data.action if keys and keys.animation_data else None
    curves = list(action.fcurves) if action else []
    print(f"blender_check: {len(blocks)} shape keys besides the basis, action "
          f"{action.name if action else None} over frames "
          f"{tuple(action.frame_range) if action else None} with {len(curves)} F-curves")
    if len(blocks) != frames:
        return [f"shape keys: found {len(blocks)}, expected {frames}"]
    if action is None:
        return ["the shape keys have no action"]
    failures = []
    if len(curves) != frames:
        failures.append(f"F-curves: found {len(curves)}, expected {frames}")
    full_at = set()
    for curve in curves:
        points = curve.keyframe_points
        if len(points) != frames:
            failures.append(f"{curve.data_path}: {len(points)} keyframes, expected {frames}")
            continue
        full = [i for i, p in enumerate(points) if abs(p.co[1] - 1.0) < 1e-6]
        others = [p.co[1] for p in points if abs(p.co[1]) > 1e-6 and abs(p.co[1] - 1.0) >= 1e-6]
        if len(full) != 1 or others:
            failures.append(f"{curve.data_path}: not 1 at one keyframe and 0 at the others")
        else:
            full_at.add(full[0])
    if not failures and len(full_at) != frames:
        failures.append("some keyframes show two shape keys at once")
    if action.frame_range[1] <= action.frame_range[0] and frames > 1:
        failures.append(f"the action spans no time: {tuple(action.frame_range)}")
    return failures


def mesh_bounds(obj):
    """The object's vertices placed in the scene, and those of its last shape key: their
    bounds (lowest and highest corner) and the vertex count."""
    matrix = obj.matrix_world
    keys = obj.data.shape_keys
    sets = [[v.co for v in obj.data.vertices]]
    if keys and len(keys.key_blocks) > 1:
        sets.append([p.co for p in keys.key_blocks[-1].data])
    bounds = []
    for points in sets:
        placed = [matrix @ co for co in points]
        bounds.append(([min(p[k] for p in placed) for k in range(3)], [max(p[k] for p in placed) for k in range(3)]))
    return len(obj.data.vertices), bounds


def check_same_as(objects, reference_at, name):
    """Compares the mesh objects with those of the uncompressed file. Quantised positions
    lie on a grid of 65534 steps across each mesh (coarser only where its morph deltas need
    it), so a point moves by far less than 1/30000 of the mesh's size. A mesh whose node
    is animated or has children comes in as a child object, NAME geometry."""
    import bpy
    frame, reference = reference_at
    # Both at the frame the reference was seen at: switched labels are shown in some frames only.
    bpy.context.scene.frame_set(frame)
    found = {}
    for o in objects:
        if o.type == "MESH" and len(o.data.vertices) > 0:
            stem, dot, number = o.name.rpartition(".")
            own = stem if dot and number.isdigit() else o.name
            # The parent has the name the mesh object has in the uncompressed file.
            key = o.parent.name if own.endswith(" geometry") and o.parent is not None else o.name
            found[key] = mesh_bounds(o)
    failures = []
    worst = 0.0
    for object_name, (count, bounds) in reference.items():
        match = found.get(object_name)
        if match is None:
            failures.append(f"{object_name}: no mesh of that name in the compressed file")
            continue
        if match[0] != count or len(match[1]) != len(bounds):
            failures.append(f"{object_name}: {match[0]} vertices, {len(match[1]) - 1} shape keys, expected {count} "
                            f"and {len(bounds) - 1}")
            continue
        for (low, high), (low2, high2) in zip(bounds, match[1]):
            size = max(h - l for l, h in zip(low, high))
            off = max(abs(a - b) for a, b in zip(low + high, low2 + high2))
            worst = max(worst, off / size if size > 0 else 0.0)
            if off > size / 30000.0 + 1e-7:
                failures.append(f"{object_name}: bounds {low2}..{high2}, expected {low}..{high}")
    print(f"blender_check: {len(reference)} mesh objects compared with {name}: bounds off by at most "
          f"{worst:.2e} of a mesh's size")
    if len(found) != len(reference):
        failures.append(f"mesh objects: found {len(found)}, the uncompressed file has {len(reference)}")
    return failures


def check_changing(objects, name):
    """A text that changes over an animation comes in as one object per version, each scaled
    to nothing in the frames it does not belong to."""
    import bpy
    versions = [o for o in objects if o.name == name or o.name.startswith(name + ".")]
    actions = [o.animation_data.action for o in versions if o.animation_data and o.animation_data.action]
    if not actions:
        return [f"{name}: no version of it is animated"]
    first = int(min(a.frame_range[0] for a in actions))
    last = int(max(a.frame_range[1] for a in actions))
    shown_versions = set()
    failures = []
    for frame in range(first, last + 1):
        bpy.context.scene.frame_set(frame)
        shown = [o.name for o in versions if min(o.matrix_world.to_scale()) > 0.5]
        hidden = [o for o in versions if max(o.matrix_world.to_scale()) < 1e-6]
        if len(shown) != 1 or len(shown) + len(hidden) != len(versions):
            failures.append(f"{name}: frame {frame} shows {shown or 'none'} of {len(versions)} versions")
        shown_versions.update(shown)
    print(f"blender_check: {name}: {len(versions)} versions, {len(shown_versions)} shown over frames "
          f"{first}..{last}")
    if len(shown_versions) < 2:
        failures.append(f"{name}: the same version shows in every frame")
    return failures


def check_solid(obj, options, world=False):
    """glTF keeps a vertex per face normal, so the faces share no vertices as imported;
    welding coincident vertices gives back the solid. Each part's genus follows from its
    Euler characteristic V - E + F = 2 - 2g. With `world`, the mesh is taken as it stands
    in the scene (placed, turned and scaled)."""
    import bmesh
    mesh = bmesh.new()
    mesh.from_mesh(obj.data)
    if world:
        mesh.transform(obj.matrix_world)
        mesh.normal_update()
    bmesh.ops.remove_doubles(mesh, verts=mesh.verts, dist=1e-7)
    mesh.verts.ensure_lookup_table()
    open_edges = [e for e in mesh.edges if len(e.link_faces) != 2]
    parts = []
    seen = set()
    for start in mesh.verts:
        if start.index in seen:
            continue
        stack, verts = [start], []
        seen.add(start.index)
        while stack:
            v = stack.pop()
            verts.append(v)
            for e in v.link_edges:
                other = e.other_vert(v)
                if other.index not in seen:
                    seen.add(other.index)
                    stack.append(other)
        edges = {e.index for v in verts for e in v.link_edges}
        faces = {f.index for v in verts for f in v.link_faces}
        euler = len(verts) - len(edges) + len(faces)
        centre = [sum(v.co[k] for v in verts) / len(verts) for k in range(3)]
        parts.append((centre, (2 - euler) // 2))
    parts.sort(key=lambda p: p[0][0])
    genus = [g for _, g in parts]
    ys = [v.co.y for v in mesh.verts]
    front, back = min(ys), max(ys)
    wrong_caps = 0
    for f in mesh.faces:
        flat = [v.co.y for v in f.verts]
        if all(abs(y - front) < 1e-7 for y in flat) and f.normal.y >= 0:
            wrong_caps += 1
        if all(abs(y - back) < 1e-7 for y in flat) and f.normal.y <= 0:
            wrong_caps += 1
    print(f"blender_check: welded: {len(mesh.verts)} vertices, {len(mesh.faces)} faces, {len(open_edges)} edges "
          f"not joining two faces, {len(parts)} parts with holes {genus} along +X, caps from y={front:.5f} "
          f"to y={back:.5f}, {wrong_caps} cap faces facing inward")
    failures = []
    if open_edges:
        failures.append(f"{len(open_edges)} edges do not join exactly two faces: the mesh is not closed")
    if len(parts) != options.closed_parts:
        failures.append(f"parts: found {len(parts)}, expected {options.closed_parts}")
    if options.genus_along_x is not None:
        wanted = [int(g) for g in options.genus_along_x.split(",")]
        if genus != wanted:
            failures.append(f"holes per part along +X: found {genus}, expected {wanted}")
    if options.caps_face_out and (wrong_caps or back - front <= 0):
        failures.append(f"{wrong_caps} cap faces face into the solid")
    if options.below is not None:
        low, high = (int(i) for i in options.below.split(":"))
        if not (len(parts) > max(low, high) and parts[low][0][2] < parts[high][0][2]):
            failures.append(f"part {low} does not stand lower than part {high}: the text is upside down")
    mesh.free()
    return failures


def main():
    try:
        code = check(parse_arguments(sys.argv))
    except SystemExit as e:  # argparse on bad arguments
        code = e.code if isinstance(e.code, int) else 2
    except Exception:
        traceback.print_exc()
        code = 1
    sys.stdout.flush()
    # Blender otherwise keeps running after the script and exits 0.
    sys.exit(code)


main()
