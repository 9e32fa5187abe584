"""Builds tarvo._engine from the engine's sources beside this folder, with the floating-point rules
of the C++ build (no fused multiply-add, no fast math, no host-specific code), so that the package
grows the same trees as tarvo-run."""

import glob
import os
import shutil

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup
from setuptools.command.build_py import build_py

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(here)

# Sources are named relative to this folder, as setuptools wants them.
os.chdir(here)
engine_sources = sorted(glob.glob(os.path.join("..", "engine", "src", "*.cpp")))
picture_sources = [os.path.join("..", "picture", name) for name in ("tree_dot.cpp", "tree_labels.cpp")]


class build_py_with_chi_square_table(build_py):
    """Puts the engine's chi-square table (data/prog.par) into the package."""

    def run(self):
        super().run()
        target = os.path.join(self.build_lib, "tarvo")
        os.makedirs(target, exist_ok=True)
        shutil.copyfile(os.path.join(root, "data", "prog.par"), os.path.join(target, "prog.par"))


ParallelCompile("TARVO_BUILD_JOBS", default=2).install()

setup(
    ext_modules=[
        Pybind11Extension(
            "tarvo._engine",
            [os.path.join("src", "engine_module.cpp")] + engine_sources + picture_sources,
            include_dirs=[os.path.join(root, "engine", "include"), os.path.join(root, "engine", "src"),
                          os.path.join(root, "picture")],
            cxx_std=20,
            extra_compile_args=["-O2", "-ffp-contract=off", "-fno-fast-math"],
        )
    ],
    cmdclass={"build_ext": build_ext, "build_py": build_py_with_chi_square_table},
)
