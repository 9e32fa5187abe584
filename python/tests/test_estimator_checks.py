"""scikit-learn's own estimator checks on both estimators, at a look-ahead small enough to be quick."""

from sklearn.utils.estimator_checks import parametrize_with_checks

from tarvo import TarvoClassifier, TarvoRegressor


@parametrize_with_checks([TarvoClassifier(look_ahead=1), TarvoRegressor(look_ahead=1)])
def test_sklearn_estimator_checks(estimator, check):
    check(estimator)
