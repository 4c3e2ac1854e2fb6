"""Imports one .glb into Blender and checks the largest surface mesh it brings in, and
the line objects (meshes of edges without faces) that lines become.

    blender -b --factory-startup --python blender_check.py -- FILE.glb \
        [--mesh-vertices N] [--mesh-triangles N] [--uv] [--colors] [--objects N] \
        [--line-objects N] [--min-line-edges N]

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
    return parser.parse_args(args)


def check(options):
    # Debian 12's glTF importer still uses numpy.bool, which numpy 1.24 removed.
    import numpy
    numpy.bool = bool
    import bpy

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
    for failure in failures:
        print(f"blender_check: MISMATCH {failure}")
    print("blender_check: " + ("FAILED" if failures else "OK"))
    return 1 if failures else 0


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
